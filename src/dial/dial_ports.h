#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "dial/contact_window_model.h"

namespace zorvan {

// The call controller and the client's call table, as the dial loop and the
// call outcome handling use them.
class DialCalls {
public:
    virtual ~DialCalls() = default;
    virtual bool Dial(const std::string& number) = 0;
    // Hangs up our call (or every outgoing one), stops a greeting.
    virtual void Reset() = 0;
    virtual bool PlayGreeting(const std::string& path, bool hangUpAfter) = 0;
    virtual bool StopGreeting() = 0;
    // A call placed by Dial whose end has not been reported yet.
    virtual bool AttemptOpen() const = 0;
    // A call of the client routing, ringing, with early media, in progress or on hold.
    virtual bool HasLiveCall() const = 0;
    // {id, partner handle} of the oldest call in progress or on hold; an
    // empty id when there is none.
    virtual std::pair<std::string, std::string> OldestActiveCall() const = 0;
    virtual std::string PartnerOf(const std::string& id) const = 0;
};

// The audio server's answering machine detection and call recording.
class DialAudio {
public:
    virtual ~DialAudio() = default;
    // Opens a detection window; its verdict and cue carry the number returned.
    virtual std::uint32_t StartDetection() = 0;
    virtual void DetectionTimeout() = 0;
    virtual void AwaitGreetingEnd() = 0;
    // Ends a detection or a wait for the machine's greeting without a word.
    virtual void CancelDetection() = 0;
    // True when a recording into path + ".mp3" really started.
    virtual bool StartRecording(const std::string& pathWithoutExtension) = 0;
    virtual void StopRecording() = 0;
};

// The captions and states of the two dialing groups' buttons.
struct DialButtons {
    std::string autoStart = "Start Dialing";
    bool autoStartEnabled = true;
    std::string autoPause = "Pause Dialing";
    bool autoPauseEnabled = false;
    std::string semiStart = "Start Dialing";
    bool semiStartEnabled = true;
    bool semiNextEnabled = false;
    bool operator==(const DialButtons&) const = default;
};

// How far a running campaign has come.
struct DialProgress {
    bool running = false;
    bool redialPhase = false;
    bool paused = false;
    std::size_t placed = 0;  // calls placed in this pass (or this redial phase)
    std::size_t total = 0;   // dialable contacts when the pass began (retry entries in the redial phase)
    std::size_t retriesLeft = 0;
    std::optional<std::int32_t> currentRow;  // the contact called last
    std::string current;                     // the number called last
    std::string waiting;                     // why and until when the next call waits
    bool operator==(const DialProgress&) const = default;
};

// The widgets and the campaign as the dial loop and the call outcome
// handling change them. The main window implements it; UI thread only.
class DialView {
public:
    virtual ~DialView() = default;

    // The grid.
    virtual void SelectRow(std::int32_t id) = 0;  // selected and scrolled into view
    // The grid's status cell only (the disposition box of the contact
    // window follows when it shows that contact).
    virtual void ShowStatus(std::int32_t id, int code, const std::string& text) = 0;
    // The grid's status cell back to what the contact holds.
    virtual void RestoreStatus(std::int32_t id) = 0;
    // Written to the contact: list, grid and campaign document.
    virtual void WriteStatus(std::int32_t id, int code, const std::string& text) = 0;
    virtual void WriteCallTime(std::int32_t id, const std::string& text) = 0;
    virtual void WriteDuration(std::int32_t id, const std::string& text) = 0;
    virtual void ShowButtons(const DialButtons& buttons) = 0;
    virtual void ShowProgress(const DialProgress& progress) = 0;

    // The campaign file.
    virtual bool CampaignHasFile() const = 0;
    // Writes the campaign to path and binds it there; returns when written.
    virtual void SaveCampaignAs(const std::string& path) = 0;
    // "Clear Calls Status" with its question; true when the statuses were cleared.
    virtual bool ClearCallStatuses() = 0;

    // The contact window.
    virtual void ShowContact(std::int32_t id, bool bringToFront) = 0;
    virtual bool WindowShows(std::int32_t id) const = 0;
    virtual void SetCallPhase(CallPhase phase) = 0;
    virtual void SetRecordButton(bool recording) = 0;
    virtual void SelectGreeting(int data) = 0;
    virtual std::optional<int> GreetingChoice() const = 0;
    // "Play Msg" back to its caption: the greeting did not start.
    virtual void GreetingNotStarted() = 0;
    virtual void ShowGreetingProgress(int percent) = 0;
    // The recording's file belongs to the contact that was called.
    virtual void SetCallRecording(std::int32_t id, const std::string& path) = 0;
    virtual void ClearDialPadDisplay() = 0;
};

}  // namespace zorvan
