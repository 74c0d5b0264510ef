#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zorvan::audio {

// An error met while one tag of the file was read: the tag is then passed
// over and the check goes on.
struct Mp3TagError {
    std::string function;       // the failing file operation, or empty
    std::string text;           // "Corrupt Lyrics3 Tag", "Can't read from file."
    std::string systemMessage;  // the system's message, or empty
};

// What the check learned of an MPEG audio file.
struct Mp3Info {
    bool playable = false;
    std::int64_t audioStart = 0;  // the first frame header
    std::int64_t audioEnd = 0;    // where the tags at the end begin
    int version = 0;              // 1, 2 or 25 (MPEG-2.5)
    int layer = 0;
    int sampleRate = 0;
    int channels = 0;        // 1 for single-channel mode, else 2
    int bitrate = 0;         // of the first frame, kbit/s
    double byteRate = 0;     // bytes per second of audio
    bool hasVbrHeader = false;  // Xing, Info or VBRI
    std::int64_t seconds = 0;   // whole seconds of audio
};

// The text of the "MPAFile Error" message box for a tag error.
std::string Mp3TagErrorText(const std::string& path, const Mp3TagError& error);

// Looks at a file as MPEG audio: the tags at its start and end (ID3v1,
// ID3v2, APE, Lyrics3) are left out, the first frame header is found, and the
// byte rate comes from a Xing or VBRI header or else the first frame's
// bitrate. Playable when it holds at least one whole second of audio.
Mp3Info CheckMp3(const std::string& path, const std::function<void(const Mp3TagError&)>& onTagError);

}  // namespace zorvan::audio
