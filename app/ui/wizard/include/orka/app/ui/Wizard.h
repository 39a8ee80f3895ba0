#pragma once
// The start-up wizard: the guided way from choosing what to make, through a source file and
// its editing page, to an item saved in a local folder or sent to the handset.
class QWidget;

namespace orka::app {
class COrkaApp;
class COrkaDoc;
} // namespace orka::app

namespace orka::app::ui {

// How the user left the wizard.
enum class WizardEnd {
    ManagementMode, // the main window takes over (last mode 2)
    EndProgram,     // the wizard was opened at start and the user chose to end the program
};

// Runs the wizard modally over the main window. Sets the last mode to 1 while it runs; on
// leaving to management mode it places the main window at the wizard's rectangle (when the
// wizard was opened at start) and sets the last mode to 2. On EndProgram the caller closes
// the main window, which ends the program.
WizardEnd runWizard(COrkaApp& app, COrkaDoc& doc, QWidget* mainWindow);

} // namespace orka::app::ui
