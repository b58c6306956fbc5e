#pragma once
// Puts the EPROM commands and the variable viewer into the main window: "R&eprise EPROM...",
// "&Boot EPROM" and "&View Variables..." run the link's commands on the window's logger link, the viewer
// in its dialog, created here once and owned by the form. "&Modify Variables..." stays "Not yet
// implemented". Enabling the items while a command owns the line is the link attachment's (attachLink).

namespace orrery {

class TMainForm;
class TViewVariableDialog;

TViewVariableDialog* attachEpromAndViewer(TMainForm& form);

}  // namespace orrery
