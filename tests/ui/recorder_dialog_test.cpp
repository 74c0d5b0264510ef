// "Record Voice" over a fake microphone: its states and messages, the file
// it leaves, and the machine without a microphone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include <filesystem>

#include "support/temp_dir.h"
#include "ui/dlg_recorder.h"

namespace zorvan {
namespace {

class Microphones final : public audio::CaptureSource {
public:
    std::vector<std::string> names{"Built-in Microphone", "Headset"};
    bool startResult = true;
    Samples deliver;
    std::vector<std::string> Devices() override { return names; }
    bool Start(std::size_t, Samples onSamples, std::string* error) override {
        if (!startResult) {
            *error = "The microphone could not be opened for recording.";
            return false;
        }
        deliver = std::move(onSamples);
        return true;
    }
    void Stop() override { deliver = nullptr; }
};

TEST(RecorderDialog, RecordsStopsAndAppliesWithItsButtonsInStep) {
    test::TempDir dir;
    const std::string path = dir / "machine.wav";
    Microphones mics;
    test::FakePrompts prompts;
    test::FakeShell shell;
    ui::CDlgRecorder dialog(path, mics, prompts, shell);
    EXPECT_EQ(dialog.windowTitle(), "Record Voice");
    for (const std::string& name : mics.names) dialog.microphones()->addItem(QString::fromStdString(name));

    dialog.Apply();
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, "Please press 'Start recording' button to record the voice message file!");
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    dialog.ToggleRecording();
    EXPECT_TRUE(dialog.recording());
    EXPECT_EQ(dialog.button("record")->text(), "Stop recording");
    EXPECT_FALSE(dialog.microphones()->isEnabled());
    EXPECT_FALSE(dialog.button("play")->isEnabled());
    EXPECT_FALSE(dialog.button("apply")->isEnabled());
    std::vector<std::int16_t> second(16000, 300);
    mics.deliver(second.data(), second.size());
    dialog.ToggleRecording();
    EXPECT_FALSE(dialog.recording());
    EXPECT_EQ(dialog.button("record")->text(), "Start recording");
    EXPECT_TRUE(dialog.button("apply")->isEnabled());
    EXPECT_EQ(std::filesystem::file_size(path), 46u + 32000u);
    dialog.Play();
    EXPECT_EQ(shell.opened, std::vector<std::string>{path});
    dialog.Apply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompts.asked.size(), 1u);
}

TEST(RecorderDialog, AFailedStartIsShownAndNoMicrophoneEndsAsCancelled) {
    test::TempDir dir;
    Microphones mics;
    mics.startResult = false;
    test::FakePrompts prompts;
    test::FakeShell shell;
    {
        ui::CDlgRecorder dialog(dir / "g.wav", mics, prompts, shell);
        dialog.microphones()->addItem(QStringLiteral("Built-in Microphone"));
        dialog.ToggleRecording();
        EXPECT_FALSE(dialog.recording()) << "it never looks as if it recorded";
        EXPECT_EQ(dialog.button("record")->text(), "Start recording");
        EXPECT_TRUE(dialog.button("apply")->isEnabled());
        ASSERT_EQ(prompts.asked.size(), 1u);
        EXPECT_NE(prompts.asked[0].text.find("could not be opened"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir / "g.wav"));
    }
    mics.names.clear();
    ui::CDlgRecorder none(dir / "g.wav", mics, prompts, shell);
    EXPECT_EQ(none.Run(), QDialog::Rejected);
    EXPECT_EQ(prompts.asked.back().text, "NO Microphone Devices Found..");
    EXPECT_EQ(prompts.asked.back().icon, PromptIcon::Error);
}

}  // namespace
}  // namespace zorvan
