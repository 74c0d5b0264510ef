#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/prompts.h"
#include "platform/shell.h"

#include <vector>

namespace zorvan::test {

// A fresh folder under the system's temporary folder, removed with its
// contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Answers every message box with a fixed answer, or with the next scripted
// one, and the dialogs and menus from a script: each scripted answer names
// the kind of prompt it is for, and a prompt that finds another kind (or
// none) at the front fails the test. Remembers everything asked.
class FakePrompts final : public Prompts {
public:
    enum class Kind { Message, Save, Open, Folder, Popup };
    struct Asked {
        std::string caption;
        std::string text;
        PromptIcon icon;
        PromptButtons buttons;
    };
    struct Scripted {
        Kind kind;
        std::optional<std::string> path;  // Save, Open, Folder: none is a cancel
        std::optional<int> item;          // Popup: none closes the menu
        PromptAnswer answer = PromptAnswer::Ok;  // Message
    };
    static Scripted SaveAs(std::optional<std::string> path) { return {Kind::Save, std::move(path), {}, {}}; }
    static Scripted OpenAs(std::optional<std::string> path) { return {Kind::Open, std::move(path), {}, {}}; }
    static Scripted Folder(std::optional<std::string> path) { return {Kind::Folder, std::move(path), {}, {}}; }
    static Scripted Choose(std::optional<int> item) { return {Kind::Popup, {}, item, {}}; }
    static Scripted Answer(PromptAnswer answer) { return {Kind::Message, {}, {}, answer}; }

    PromptAnswer answer = PromptAnswer::Ok;
    std::vector<Asked> asked;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<std::vector<std::string>> menus;
    std::deque<Scripted> script;

    void Expect(Scripted next) {
        std::lock_guard lock(mutex_);
        script.push_back(std::move(next));
    }
    bool ScriptDone() {
        std::lock_guard lock(mutex_);
        return script.empty();
    }

    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override {
        std::lock_guard lock(mutex_);  // worker threads ask too
        asked.push_back({caption, text, icon, buttons});
        if (!script.empty() && script.front().kind == Kind::Message) {
            const PromptAnswer scripted = script.front().answer;
            script.pop_front();
            return scripted;
        }
        return answer;
    }
    std::optional<std::string> saveFile(const FileDialogRequest& request) override {
        return File(Kind::Save, request);
    }
    std::optional<std::string> openFile(const FileDialogRequest& request) override {
        return File(Kind::Open, request);
    }
    std::optional<std::string> chooseFolder(const std::string& start) override {
        return File(Kind::Folder, FileDialogRequest{"Select folder", start, {}, {}, {}, false});
    }
    std::optional<int> popupMenu(const std::vector<std::string>& items) override {
        std::lock_guard lock(mutex_);
        menus.push_back(items);
        if (script.empty() || script.front().kind != Kind::Popup) {
            ADD_FAILURE() << "a popup menu nobody scripted";
            return std::nullopt;
        }
        const auto item = script.front().item;
        script.pop_front();
        return item;
    }

private:
    std::optional<std::string> File(Kind kind, const FileDialogRequest& request) {
        std::lock_guard lock(mutex_);
        fileDialogs.push_back(request);
        if (script.empty() || script.front().kind != kind) {
            ADD_FAILURE() << "a dialog nobody scripted: " << request.caption;
            return std::nullopt;
        }
        auto path = script.front().path;
        script.pop_front();
        return path;
    }

    std::mutex mutex_;
};

// Remembers what the program asked the desktop to open.
class FakeShell final : public Shell {
public:
    std::vector<std::string> opened;
    void Open(const std::string& urlOrPath) override { opened.push_back(urlOrPath); }
};

}  // namespace zorvan::test
