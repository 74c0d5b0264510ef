#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <string>

#include "data/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace zorvan {
class Prompts;
namespace audio {
class CaptureSource;
}
class Shell;
}  // namespace zorvan

namespace zorvan::ui {

// "Adjust VAD Threshold Value": the detection's sensitivity, 1 to 3.
class CDlgVADValueConfig final : public QDialog {
    Q_OBJECT
public:
    explicit CDlgVADValueConfig(int threshold, QWidget* parent = nullptr);
    int position() const;
    QSlider* slider() const { return slider_; }
    QString text() const;

private:
    QSlider* slider_ = nullptr;
    QLabel* text_ = nullptr;
};

// The "Voice Activity Detection" page of the options.
class CDlgVADsettings final : public QWidget {
    Q_OBJECT
public:
    struct Services {
        Prompts& prompts;
        Shell& shell;
        audio::CaptureSource* microphone = nullptr;  // none: "Record" says there is no microphone
        std::function<int()> threshold;               // read when the threshold dialog opens
        std::function<void(int)> setThreshold;        // its OK
    };
    CDlgVADsettings(Services services, const SettingsData& values, QWidget* parent = nullptr);

    // The page's values into the settings record.
    void StoreInto(SettingsData& values) const;
    QCheckBox* check(const QString& objectName) const;
    QLineEdit* edit(const QString& objectName) const;
    QPushButton* button(const QString& objectName) const;
    QComboBox* combo(const QString& objectName) const;

    // "Record" and the threshold button, as a click does them.
    void Record(bool machine);
    void AdjustThreshold();

private:
    void ApplyRules();
    void Browse(bool machine);

    Services services_;
    QCheckBox* vad_ = nullptr;
    QCheckBox* leaveMessage_ = nullptr;
    QLineEdit* leaveMessageFile_ = nullptr;
    QPushButton* recordMachine_ = nullptr;
    QPushButton* browseMachine_ = nullptr;
    QCheckBox* hangUp_ = nullptr;
    QCheckBox* messageToHuman_ = nullptr;
    QLineEdit* humanFile_ = nullptr;
    QPushButton* recordHuman_ = nullptr;
    QPushButton* browseHuman_ = nullptr;
    QCheckBox* autoHangUp_ = nullptr;
    QPushButton* thresholdButton_ = nullptr;
    QComboBox* mode_ = nullptr;
};

}  // namespace zorvan::ui
