#pragma once
// The wizard's page texts, each as the page shows it.

namespace kaldo::wizard_text {

inline constexpr const char* kWelcomeText =
    "Welcome to the KALDO Updater. Are you ready to get started? What type of connection are you using?";
inline constexpr const char* kConnectMidiText =
    "Connect the MIDI out from your computer to the KALDO's Remote Switch jack. Turn down the master volume "
    "completely, plugin your guitar, then turn on amp.";
inline constexpr const char* kConnectUsbText =
    "Connect the USB from your computer to the KALDO's USB jack. Turn down the master volume completely, plugin "
    "your guitar, then turn on amp.";
inline constexpr const char* kDevicesMidiText = "Select your MIDI device from the drop down menu.";
inline constexpr const char* kDevicesUsbText =
    R"(Select the KALDO USB midi devices from the drop down menus. The should both be named USB "Audio Device".)";
inline constexpr const char* kTestMidiText =
    "Click test button to check MIDI connection. The KALDO presets should change if the MIDI connection is "
    "working.";
inline constexpr const char* kTestUsbText =
    "Click test button to check USB MIDI connection. The KALDO presets should change if the USB MIDI connection "
    "is working.";
inline constexpr const char* kNotTestedText = "USB Midi in not tested. Please press the midi test button";
inline constexpr const char* kNoReplyText = "USB Midi in not working. Please try again.";
inline constexpr const char* kPanelModeText =
    "Turn off the amp. Hold down preset buttons 1 and 4 on the amp and turn the power back on.";
inline constexpr const char* kReadRevisionText =
    "The LEDs around the StompBoxes, Amps, and Effects knobs will indicate the current Firmware revision. Select "
    "the matching devices to build the current firmware revision number.";
inline constexpr const char* kPowerCycleText = "Now turn the amp OFF, wait 5 seconds and turn the amp back ON.";
inline constexpr const char* kChooseFileText = "Select the latest firmware file you downloaded from Dorsen.";
inline constexpr const char* kStartMidiText =
    "Let's start. The program will update intermediate code if needed, then load the latest code.";
inline constexpr const char* kStartUsbText = "Let's start. The program will send the latest code to the amp.";
inline constexpr const char* kFirstStageText =
    "First stage complete! The amp should have rebooted and there should be a bouncing ball light show on the "
    "three encoder rings. If not, wait a few minutes then restart the amp and check the firmware revision. If no "
    "update happened, close this program and restart to try again. Otherwise, let's start the next phase.";
inline constexpr const char* kFinalMidiText =
    "Final stage complete! The amp may have rebooted. If not, power cycle the amp. You should now have the latest "
    "code.";
inline constexpr const char* kFinalUsbText = "Final stage complete! You should now have the latest code. Power cycle the amp.";
// A stage that did not complete is never reported as complete: the user may try it again or close.
inline constexpr const char* kFirstStageFailedText =
    "The first stage did not complete. Check the cable and that the amp is on, then press Next to try the first "
    "stage again, or close this window.";
inline constexpr const char* kFinalStageFailedText =
    "The final stage did not complete. Check the cable and that the amp is on, then press Next to try the final "
    "stage again, or close this window.";
inline constexpr const char* kNoFileText = "No firmware file was chosen. Press Next to choose the firmware file you downloaded.";
inline constexpr const char* kDeclinedText = "Nothing was sent. Press Next to be asked again, or close this window.";
// %1: the preset the test moved the amp to.
inline constexpr const char* kTestSentText = "Sent preset %1 and an ID request. Did the amp's preset change?";
inline constexpr const char* kConnectedText = "Connected, current code version is ";

}  // namespace kaldo::wizard_text
