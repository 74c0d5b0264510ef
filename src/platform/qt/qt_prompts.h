#pragma once

#include "platform/prompts.h"

class QWidget;

namespace zorvan {

// Message boxes with the given caption, text, icon and buttons.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override;

private:
    QWidget* parent_;
};

}  // namespace zorvan
