#include "data/settings.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <type_traits>
#include <variant>

#include "data/disposition_list.h"
#include "data/greeting_list.h"

namespace zorvan {

namespace {

std::mutex gInstanceMutex;
std::unique_ptr<Settings> gInstance;

using Member = std::variant<std::string SettingsData::*, std::int32_t SettingsData::*, bool SettingsData::*>;

struct Key {
    const char* name;
    Member member;
    bool textDefaultWrittenBack = false;  // only countrycode and fields
};

// The keys in the order of the file; missing elements are created in it.
const std::array<Key, 24> kKeys{{
    {"countrycode", &SettingsData::countrycode, true},
    {"waitforanswer", &SettingsData::waitforanswer},
    {"redial", &SettingsData::redial},
    {"callinterval", &SettingsData::callinterval},
    {"donotcall", &SettingsData::donotcall},
    {"donotcallfile", &SettingsData::donotcallfile},
    {"vad", &SettingsData::vad},
    {"leavemsgtotam", &SettingsData::leavemsgtotam},
    {"leavemsgtotamfile", &SettingsData::leavemsgtotamfile},
    {"hangupamline", &SettingsData::hangupamline},
    {"msgtohuman", &SettingsData::msgtohuman},
    {"msgtohumanfile", &SettingsData::msgtohumanfile},
    {"autohnafmsg", &SettingsData::autohnafmsg},
    {"autorec", &SettingsData::autorec},
    {"recfolder", &SettingsData::recfolder},
    {"msgpercent", &SettingsData::msgpercent},
    {"notes", &SettingsData::notes},
    {"donotpopcinfo", &SettingsData::donotpopcinfo},
    {"popbconn", &SettingsData::popbconn},
    {"lastcamp", &SettingsData::lastcamp},
    {"pos", &SettingsData::pos},
    {"customize", &SettingsData::customize},
    {"fields", &SettingsData::fields, true},
    {"threshold", &SettingsData::threshold},
}};

// Keys added later, after the lists. A file without them reads the defaults,
// and the empty texts of the hours too.
const std::array<Key, 5> kLaterKeys{{
    {"callhours", &SettingsData::callhours},
    {"callfrom", &SettingsData::callfrom, true},
    {"callto", &SettingsData::callto, true},
    {"redialdelay", &SettingsData::redialdelay},
    {"amdmode", &SettingsData::amdmode},
}};

const SettingsData kDefaults{};

std::string ItemName(std::size_t index) { return "item" + std::to_string(index); }

}  // namespace

Settings& Settings::Instance() {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<Settings>();
    return *gInstance;
}

void Settings::DestroyInstance() {
    std::lock_guard lock(gInstanceMutex);
    gInstance.reset();
}

bool Settings::HasInstance() {
    std::lock_guard lock(gInstanceMutex);
    return gInstance != nullptr;
}

bool Settings::Open(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
    if (doc_.Open(path)) return true;
    // Keep the unreadable file: the next save would otherwise overwrite the
    // user's settings with the defaults.
    std::error_code ec;
    std::filesystem::copy_file(path, path + ".bad", std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) std::fprintf(stderr, "Could not keep a copy of '%s': %s\n", path.c_str(), ec.message().c_str());
    return false;
}

bool Settings::Load(DispositionList& dispositions, GreetingList& greetings) {
    std::lock_guard lock(mutex_);
    try {
        XmlNode conf = doc_.ChildElement(doc_.Root(), "conf");
        const auto load = [&](const Key& key) {
            XmlNode element = doc_.ChildElement(conf, key.name);
            if (!element) return false;
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(data_.*member)>;
                    if constexpr (std::is_same_v<T, std::string>) {
                        data_.*member = key.textDefaultWrittenBack ? XmlDocument::ReadText(element, kDefaults.*member)
                                                                   : XmlDocument::ReadText(element);
                    } else if constexpr (std::is_same_v<T, bool>) {
                        data_.*member = XmlDocument::ReadBool(element, kDefaults.*member);
                    } else {
                        data_.*member = XmlDocument::ReadInt(element, kDefaults.*member);
                    }
                },
                key.member);
            return true;
        };
        for (const Key& key : kKeys) {
            if (!load(key)) return false;
        }
        LoadDispositions(conf, dispositions);
        LoadGreetings(conf, greetings);
        for (const Key& key : kLaterKeys) {
            if (!load(key)) return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void Settings::LoadDispositions(XmlNode conf, DispositionList& dispositions) {
    const XmlChildList items = XmlDocument::Children(doc_.ChildElement(conf, "disposition"));
    const int count = items.length();
    if (count < 1) {
        dispositions.AppendDefaults();
        return;
    }
    for (int i = 0; i < count; ++i) {
        XmlNode item = items.item(i);
        Disposition entry;
        entry.status = XmlDocument::ReadInt(doc_.ChildElement(item, "status"), 0);
        entry.name = XmlDocument::ReadText(doc_.ChildElement(item, "sfield"));
        entry.description = XmlDocument::ReadText(doc_.ChildElement(item, "sdesc"));
        dispositions.Append(std::move(entry));
    }
}

void Settings::LoadGreetings(XmlNode conf, GreetingList& greetings) {
    const XmlChildList items = XmlDocument::Children(doc_.ChildElement(conf, "greetinglist"));
    const int count = items.length();
    for (int i = 0; i < count; ++i) {
        XmlNode item = items.item(i);
        GreetingFile entry;
        entry.description = XmlDocument::ReadText(doc_.ChildElement(item, "fdesc"));
        entry.path = XmlDocument::ReadText(doc_.ChildElement(item, "fpath"));
        greetings.Append(std::move(entry));
    }
}

bool Settings::Save(const DispositionList& dispositions, const GreetingList& greetings) {
    std::lock_guard lock(mutex_);
    try {
        XmlNode conf = doc_.ChildElement(doc_.Root(), "conf");
        const auto save = [&](const Key& key) {
            XmlNode element = doc_.ChildElement(conf, key.name);
            std::visit(
                [&](auto member) {
                    using T = std::remove_reference_t<decltype(data_.*member)>;
                    if constexpr (std::is_same_v<T, std::string>) {
                        XmlDocument::WriteText(element, data_.*member);
                    } else if constexpr (std::is_same_v<T, bool>) {
                        XmlDocument::WriteBool(element, data_.*member);
                    } else {
                        XmlDocument::WriteInt(element, data_.*member);
                    }
                },
                key.member);
        };
        for (const Key& key : kKeys) save(key);
        // The lists' elements come before the later keys in a new file.
        doc_.ChildElement(conf, "disposition");
        doc_.ChildElement(conf, "greetinglist");
        SaveDispositions(conf, dispositions);
        SaveGreetings(conf, greetings);
        for (const Key& key : kLaterKeys) save(key);
        return doc_.Save(path_);
    } catch (const std::exception&) {
        return false;
    }
}

// An empty in-memory list leaves the file's items alone; otherwise the items
// are rewritten as item0, item1, ... in list order.
void Settings::SaveDispositions(XmlNode conf, const DispositionList& dispositions) {
    const auto entries = dispositions.Entries();
    if (entries.empty()) return;
    XmlNode list = doc_.ChildElement(conf, "disposition");
    XmlDocument::RemoveElementChildren(list);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        XmlNode item = doc_.ChildElement(list, ItemName(i));
        XmlDocument::WriteInt(doc_.ChildElement(item, "status"), entries[i].status);
        XmlDocument::WriteText(doc_.ChildElement(item, "sfield"), entries[i].name);
        XmlDocument::WriteText(doc_.ChildElement(item, "sdesc"), entries[i].description);
    }
}

void Settings::SaveGreetings(XmlNode conf, const GreetingList& greetings) {
    const auto entries = greetings.Entries();
    if (entries.empty()) return;
    XmlNode list = doc_.ChildElement(conf, "greetinglist");
    XmlDocument::RemoveElementChildren(list);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        XmlNode item = doc_.ChildElement(list, ItemName(i));
        XmlDocument::WriteText(doc_.ChildElement(item, "fdesc"), entries[i].description);
        XmlDocument::WriteText(doc_.ChildElement(item, "fpath"), entries[i].path);
    }
}

SettingsData Settings::values() const {
    std::lock_guard lock(mutex_);
    return data_;
}

void Settings::assign(const SettingsData& data) {
    std::lock_guard lock(mutex_);
    data_ = data;
}

std::string Settings::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

std::string Settings::Serialize() const {
    std::lock_guard lock(mutex_);
    return doc_.Serialize();
}

}  // namespace zorvan
