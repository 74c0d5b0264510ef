#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "data/xml_document.h"

namespace zorvan {

class DispositionList;
class GreetingList;

// Every user setting, named after its key in conf.xml, with its default.
struct SettingsData {
    std::string countrycode = "+1";
    std::int32_t waitforanswer = 45;
    std::int32_t redial = 0;
    std::int32_t callinterval = 10;
    bool donotcall = false;
    std::string donotcallfile;
    bool vad = false;
    bool leavemsgtotam = false;
    std::string leavemsgtotamfile;
    bool hangupamline = false;
    bool msgtohuman = false;
    std::string msgtohumanfile;
    bool autohnafmsg = false;
    bool autorec = false;
    std::string recfolder;
    bool msgpercent = true;
    std::string notes;
    bool donotpopcinfo = false;
    bool popbconn = true;
    std::string lastcamp;
    std::string pos;
    bool customize = false;
    std::string fields = "11100000000000";
    std::int32_t threshold = 2;
    // Written after the lists, so that older files keep their order.
    bool callhours = false;            // call only inside the callee's local calling hours
    std::string callfrom = "08:00";
    std::string callto = "21:00";
    std::int32_t redialdelay = 0;      // minutes between a contact's attempts in the redial phase
    std::int32_t amdmode = 0;          // answering machine detection: 0 the silence count, 1 the opening's shape

    bool operator==(const SettingsData&) const = default;
};

// The process-wide settings record bound to conf.xml. Load and Save hold the
// record's lock from start to end; single field reads and assignments from
// other threads take the same lock, so a text is never read while it is
// being replaced.
class Settings {
public:
    static Settings& Instance();
    static void DestroyInstance();
    static bool HasInstance();

    // Binds the record to the file and parses it. A file that exists but
    // does not parse is copied aside to "<path>.bad" first, since the next
    // Save replaces it with the defaults.
    bool Open(const std::string& path);
    // Reads every key into the record (missing elements are created and
    // defaults written back into the document, not to disk), then the lists.
    bool Load(DispositionList& dispositions, GreetingList& greetings);
    // Writes every field and the lists into the document and the file.
    bool Save(const DispositionList& dispositions, const GreetingList& greetings);

    SettingsData values() const;
    void assign(const SettingsData& data);
    template <class T>
    T get(T SettingsData::*field) const {
        std::lock_guard lock(mutex_);
        return data_.*field;
    }
    template <class T, class V>
    void set(T SettingsData::*field, V&& value) {
        std::lock_guard lock(mutex_);
        data_.*field = std::forward<V>(value);
    }

    std::string path() const;
    // The document as it stands in memory (for tests and diagnostics).
    std::string Serialize() const;

private:
    void LoadDispositions(XmlNode conf, DispositionList& dispositions);
    void LoadGreetings(XmlNode conf, GreetingList& greetings);
    void SaveDispositions(XmlNode conf, const DispositionList& dispositions);
    void SaveGreetings(XmlNode conf, const GreetingList& greetings);

    mutable std::mutex mutex_;
    SettingsData data_;
    std::string path_;
    XmlDocument doc_;
};

}  // namespace zorvan
