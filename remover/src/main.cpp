// remover: starts the product's registered removal command and ends at once. It shows no
// window and says nothing, whatever happens; its exit status is always 0.
#include "RemovalCommand.h"

#include "orka/platform/Process.h"

int main()
{
    if (const auto command = orka::remover::registeredRemovalCommand())
        orka::platform::Process::start(command->program, command->commandLine);
    return 0;
}
