#pragma once

#include <string>

namespace zorvan {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// Every message box, question and file dialog of the program goes through
// here, so that tests can answer them.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                                    PromptButtons buttons) = 0;
};

}  // namespace zorvan
