// The PIM work against its floors:
//  - reading 250 phonebook entries from the simulated handset, against the same commands
//    issued directly (the used-entry list and one record read per entry): counter
//    ratio_to_floor, target at most 1.1;
//  - loading a store of 5000 vCards into the lists (contacts and tasks): time in ms.
#include "orka/testing/SimulatorProcess.h"

#include "orka/pim/HandsetCodec.h"
#include "orka/pim/HandsetPim.h"
#include "orka/pim/PimWorkers.h"
#include "orka/pio.h"
#include "orka/platform/StatePaths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>

using namespace orka::test;
using namespace orka::pim;
namespace fs = std::filesystem;

namespace {
constexpr int kCom = 8;
constexpr int kEntries = 250;
constexpr int kStoreCards = 5000;

struct Handset {
    fs::path home = Simulator::makeHome();
    std::unique_ptr<Simulator> sim;
    Handset()
    {
        for (int key = 1; key <= kEntries; ++key) {
            CContactItem c;
            c.key = static_cast<std::uint16_t>(key);
            c.name = "Contact " + std::to_string(key);
            c.phone1 = "+8869" + std::to_string(10000000 + key);
            c.email1 = "contact" + std::to_string(key) + "@example.com";
            c.address = "No. " + std::to_string(key) + ", Xinyi Road, Taipei";
            const auto record = encodeContact(c);
            const fs::path dir = home / "store" / "store10" / ("item" + std::to_string(key));
            fs::create_directories(dir);
            orka::platform::writeFileAtomically(dir / "part0.bin", record.data(), record.size());
        }
        sim = std::make_unique<Simulator>(home, Simulator::Options{kCom, "", {}});
        PIOInitPhone();
        if (!PIOOpen(kCom))
            throw std::runtime_error(PIOGetLastErrMsg());
    }
    ~Handset()
    {
        PIOClose();
        sim.reset();
        std::error_code ec;
        fs::remove_all(home, ec);
    }
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The protocol alone: the list of used entries and each record, nothing decoded.
double protocolFloor()
{
    const auto t0 = std::chrono::steady_clock::now();
    const unsigned long list = PIOQXIndexRead(1, kPhonebookStore, 2, 3);
    const auto* result = reinterpret_cast<const PIOResult*>(list);
    if (result && result->ok == 1)
        if (const auto* keys = static_cast<const PIOIndexList*>(result->data))
            for (int i = 0; i < keys->count; ++i)
                PIOFreeMemory(PIOQXDataRead(1, kPhonebookStore, keys->numbers[i], 0, 3));
    PIOFreeMemory(list);
    return seconds(t0);
}

void ReadPhonebook250(benchmark::State& state)
{
    Handset handset;
    double floor = 0, total = 0;
    for (auto _ : state) {
        floor += protocolFloor();
        std::vector<CContactItem> entries;
        const auto t0 = std::chrono::steady_clock::now();
        ReadOptions options;
        options.settle = std::chrono::milliseconds(0); // the pause for the progress dialog is no work
        HandsetPim::readPhonebook(entries, options);
        const double s = seconds(t0);
        total += s;
        if (entries.size() != kEntries)
            state.SkipWithError("not every entry was read");
        state.SetIterationTime(s);
    }
    state.counters["floor_s"] = floor / static_cast<double>(state.iterations());
    state.counters["ratio_to_floor"] = total / floor;
}
BENCHMARK(ReadPhonebook250)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void LoadStore5000(benchmark::State& state)
{
    const fs::path root = fs::temp_directory_path() / ("orka-bench-store-" + std::to_string(::getpid()));
    fs::create_directories(root / "contacts");
    for (int i = 0; i < kStoreCards; ++i) {
        const std::string uid = "card-" + std::to_string(i);
        std::ofstream(root / "contacts" / (uid + ".vcf"))
            << "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" << uid << "\r\nFN:Person " << i << "\r\nN:" << i
            << ";Person;;;\r\nTEL;TYPE=CELL:+8869" << 10000000 + i << "\r\nTEL;TYPE=HOME:02" << 20000000 + i
            << "\r\nEMAIL:p" << i << "@example.com\r\nADR;TYPE=HOME:;;No. " << i
            << " Xinyi Rd.;Taipei;;110;Taiwan\r\nBDAY:1980-01-01\r\nNOTE:bench\r\nEND:VCARD\r\n";
    }
    for (auto _ : state) {
        PimLists lists;
        std::uint32_t flags = 0;
        PimJobContext context;
        context.loadedFlags = &flags;
        context.storeRoot = root;
        const auto r = readStoreLists(lists, context);
        if (!r.succeeded() || lists.storeContacts.size() != kStoreCards)
            state.SkipWithError("the store did not load");
    }
    std::error_code ec;
    fs::remove_all(root, ec);
}
BENCHMARK(LoadStore5000)->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
