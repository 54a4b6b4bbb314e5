#pragma once
// What a user of the simulated host would have seen and what the plug-in asked of it: messages,
// Info panel lines, undo groups, scripts and the commands sent. Kept by the host, read by the
// script engine and the result writer.
#include <string>
#include <vector>

#include "AE_Effect.h"

namespace sim {

struct Records {
    std::vector<std::string> messages;  // return messages and AEGP_ReportInfo texts, in order
    // For each message, whether the host showed it to the user: AEGP_ReportInfo texts and the
    // About text always, other return messages only with PF_OutFlag_DISPLAY_ERROR_MESSAGE.
    std::vector<bool> messageShown;
    void addMessage(const std::string& text, bool shown);
    std::vector<std::string> info;        // first lines given to PF_InfoDrawText, in order
    std::vector<std::string> undoGroups;  // names of the undo groups opened
    std::vector<std::string> scriptErrors;
    std::vector<std::string> scripts;  // texts given to AEGP_ExecuteScript
    std::vector<std::string> calls;    // every suite/callback operation name, in call order
    struct Command {
        PF_Cmd cmd;
        PF_Err result;
        PF_OutFlags outFlags;
        PF_OutFlags2 outFlags2;
        std::string returnMsg;
    };
    std::vector<Command> commands;  // every command sent to the plug-in, with what it returned
};

}  // namespace sim
