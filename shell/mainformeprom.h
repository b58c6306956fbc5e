#pragma once
// Puts the EPROM commands and the variable viewer into the main window: "R&eprise EPROM...",
// "&Boot EPROM" and "&View Variables..." run the link's commands on the window's logger link, the viewer
// in its dialog. "&Modify Variables..." stays "Not yet implemented".

namespace orrery {

class TMainForm;
class TViewVariableDialog;

namespace link {
class LoggerLink;
}

void attachEpromAndViewer(TMainForm& form, link::LoggerLink& link, TViewVariableDialog& dialog);

}  // namespace orrery
