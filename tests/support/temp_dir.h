#pragma once

#include <mutex>
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

// Answers every prompt with a fixed answer and remembers what was asked.
class FakePrompts final : public Prompts {
public:
    struct Asked {
        std::string caption;
        std::string text;
        PromptIcon icon;
        PromptButtons buttons;
    };
    PromptAnswer answer = PromptAnswer::Ok;
    std::vector<Asked> asked;

    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override {
        std::lock_guard lock(mutex_);  // worker threads ask too
        asked.push_back({caption, text, icon, buttons});
        return answer;
    }

private:
    std::mutex mutex_;
};

// Remembers what the program asked the desktop to open.
class FakeShell final : public Shell {
public:
    std::vector<std::string> opened;
    void Open(const std::string& urlOrPath) override { opened.push_back(urlOrPath); }
};

}  // namespace zorvan::test
