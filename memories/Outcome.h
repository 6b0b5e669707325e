#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// What a load or save could not do as the file or the table asked: one line per row or memory,
// for the details the user may open.
using TFileDetails = std::vector<std::string>;

using TStatusSink = std::function<void(const std::string& text)>;

// How a file command or a radio transfer ended. The window acts on this, never on the status
// text, so that rewording a text cannot change what the program does.
struct TOutcome {
    // Everything asked was done: the whole file read or written, every memory transferred.
    bool succeeded = false;
    // The memories read, written or gone through.
    std::size_t memories = 0;
    // What the details box lists: rows skipped or changed, memories not written whole.
    TFileDetails details;
    // Why a file was refused as a whole, for an error box; empty when it was not.
    std::string refusal;
    // The final status text, as shown.
    std::string statusText;

    static TOutcome Succeeded(std::size_t memories, std::string statusText) {
        return {true, memories, {}, {}, std::move(statusText)};
    }
    static TOutcome Failed(std::string statusText, std::size_t memories = 0) {
        return {false, memories, {}, {}, std::move(statusText)};
    }
};

// A file command's last step: shows the outcome's status text and answers the outcome.
inline TOutcome Reported(const TStatusSink& status, TOutcome outcome) {
    status(outcome.statusText);
    return outcome;
}
