#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "data/settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace zorvan {
class DispositionList;
class GreetingList;
class Prompts;
class Shell;
namespace audio {
class CaptureSource;
}
}  // namespace zorvan

namespace zorvan::ui {

class CDlgPresetSettings;
class CDlgVADsettings;

// "Options": the five pages "General", "Do-Not-Call File", "Voice Activity
// Detection", "Preset" and "Advanced" over a copy of the settings. OK
// checks the number boxes first: one that does not hold a fitting integer
// keeps the dialog open on its page, with the message.
class CDlgOptions final : public QDialog {
    Q_OBJECT
public:
    struct Services {
        Prompts& prompts;
        Shell& shell;
        DispositionList& dispositions;
        GreetingList& greetings;
        audio::CaptureSource* microphone = nullptr;
        std::function<int()> threshold;
        std::function<void(int)> setThreshold;
    };
    CDlgOptions(Services services, const SettingsData& values, QWidget* parent = nullptr);
    ~CDlgOptions() override;

    // The pages' values over `values`; false (message shown, page selected)
    // when a box does not hold a fitting number.
    bool Collect(SettingsData& values);
    const SettingsData& values() const { return values_; }

    QTabWidget* tabs() const { return tabs_; }
    QLineEdit* edit(const QString& objectName) const;
    QCheckBox* check(const QString& objectName) const;
    QPushButton* button(const QString& objectName) const;
    CDlgVADsettings* vadPage() const { return vad_; }
    CDlgPresetSettings* presetPage() const { return preset_; }

    void accept() override;

private:
    QWidget* BuildGeneral(const SettingsData& v);
    QWidget* BuildDoNotCall(const SettingsData& v);
    QWidget* BuildAdvanced(const SettingsData& v);
    void ApplyRules();

    Services services_;
    SettingsData values_;
    QTabWidget* tabs_ = nullptr;
    CDlgVADsettings* vad_ = nullptr;
    CDlgPresetSettings* preset_ = nullptr;
};

// Applies a confirmed dialog's values to the settings: every key the pages
// own (the threshold, which its own dialog stores, and the keys of other
// windows stay).
void StoreOptions(const SettingsData& from, Settings& settings);

}  // namespace zorvan::ui
