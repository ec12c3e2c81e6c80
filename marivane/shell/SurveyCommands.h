#pragma once
// The main window's commands that the survey state gates, and the rule for each. The survey state is
// one of Idle, Surveying, Recording, or all four flags false while no project is open.

#include "marivane/acquisition/AcquisitionEngine.h"

namespace marivane {

enum class ShellCommand {
    NewProject,             // 32863: always offered; refuses while surveying or recording
    OpenProject,            // 32864: likewise
    Exit,                   // 32865: likewise
    CoordinateSettings,     // 32836: idle
    SoundVelocitySettings,  // 32947: idle
    DeviceSettings,         // 32894: idle
    AlarmSettings,          // 33048: always
    StartSurvey,            // 32884: idle
    StopSurvey,             // 32885: surveying
    StartRecording,         // 32877: armed
    StopRecording,          // 32878: recording
};

// Whether the command is enabled (menu, toolbar and the chart's Ctrl shortcuts).
constexpr bool CommandEnabled(ShellCommand command, const SurveyState& s) {
    switch (command) {
        case ShellCommand::NewProject:
        case ShellCommand::OpenProject:
        case ShellCommand::Exit:
        case ShellCommand::AlarmSettings:
            return true;
        case ShellCommand::CoordinateSettings:
        case ShellCommand::SoundVelocitySettings:
        case ShellCommand::DeviceSettings:
        case ShellCommand::StartSurvey:
            return s.idle;
        case ShellCommand::StopSurvey:
            return s.surveying;
        case ShellCommand::StartRecording:
            return s.armed;
        case ShellCommand::StopRecording:
            return s.recording;
    }
    return false;
}

// Whether the project may be replaced or the program left: not while surveying or recording.
constexpr bool ProjectReplaceable(const SurveyState& s) {
    return !s.surveying && !s.recording;
}

}  // namespace marivane
