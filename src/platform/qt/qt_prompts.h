#pragma once

#include "platform/prompts.h"

class QWidget;

namespace zorvan {

// Message boxes with the given caption, text, icon and buttons. Boxes are
// shown on the user-interface thread: from another thread a box with only
// an OK button is queued there and the caller goes on (it must not wait for
// a user-interface thread that may be waiting for it); a question blocks the
// caller until it is answered.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override;

private:
    PromptAnswer show(const std::string& caption, const std::string& text, PromptIcon icon, PromptButtons buttons);

    QWidget* parent_;
};

}  // namespace zorvan
