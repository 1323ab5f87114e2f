#include "SimOptions.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>

namespace kaldo::sim {

std::optional<PackedVersion> parseRevision(std::string_view text) {
    if (text.size() == 4) return parseRevision("0" + std::string(text));
    if (text.size() != 5 || text[2] != '.') return std::nullopt;
    PackedVersion version = 0;
    for (const char c : {text[0], text[1], text[3], text[4]}) {
        if (c < '0' || c > '9') return std::nullopt;
        version = (version << 8) | static_cast<PackedVersion>(c - '0');
    }
    return version;
}

std::vector<std::uint8_t> parseMaker(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    if (text.size() != 2 && text.size() != 6) return {};
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        for (const char c : text.substr(i, 2)) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0) return {};
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (value > 0x7F) return {};
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    // One byte, never 00 (that begins a three-byte ID); three bytes beginning with 00.
    if ((bytes.size() == 1) == (bytes[0] == 0x00)) return {};
    return bytes;
}

void describeOptions(CLI::App& app, SimOptions& options) {
    app.description(
        "A simulated KALDO amplifier on virtual MIDI ports or a raw MIDI device: answers the Identity Request and an upload as "
        "the amp does, misbehaving as its fault plan says.");
    auto revision = std::make_shared<std::string>(versionText(options.revision));
    app.add_option("--revision", *revision, "Firmware revision the amp reports, such as 02.83")
        ->capture_default_str();
    app.add_option("--name", options.name, "Name of the MIDI ports")->capture_default_str();

    const std::map<std::string, Stage> stages{{"identity", Stage::Identity},
                                              {"header", Stage::Header},
                                              {"packet", Stage::Packet},
                                              {"verify", Stage::Verify},
                                              {"program", Stage::Program}};
    auto& plan = options.plan;
    // Help and errors name the stages only, never the numbers the transformer maps them to.
    app.add_option("--silent-at", plan.silentAt,
                   "Say nothing from this stage on: identity, header, packet, verify or program")
        ->type_name("STAGE")
        ->transform(CLI::CheckedTransformer(stages, CLI::ignore_case).description(""))
        ->transform(CLI::IsMember(stages, CLI::ignore_case).description(""));
    auto* silentPacket = app.add_option("--silent-packet", plan.silentPacket,
                                        "With --silent-at packet: silent from this packet (0-based) on")
                             ->check(CLI::NonNegativeNumber);
    app.add_option("--packet-error", plan.packetErrors, "Answer this packet (0-based) with 74; repeatable")
        ->check(CLI::NonNegativeNumber)
        ->allow_extra_args(false);
    app.add_flag("--all-packets-error", plan.allPacketsError, "Answer every packet with 74");
    app.add_flag("--verify-fails", plan.verifyFails, "Answer the last packet with 7A instead of 7D");
    app.add_option("--reply-delay", plan.replyDelayMs, "Milliseconds before each answer")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--ready-delay", plan.readyDelayMs, "Milliseconds from the header to 7B")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--verify-delay", plan.verifyDelayMs, "Milliseconds from the last 7C to 7D or 7A")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--programming-delay", plan.programmingDelayMs, "Milliseconds from 7D to 71")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    const std::map<std::string, ForeignSysEx> foreign{{"plain", ForeignSysEx::Plain},
                                                      {"status-like", ForeignSysEx::StatusLike}};
    app.add_option("--foreign-sysex", plan.foreignSysEx,
                   "Another maker's SysEx before and after every answer: plain, or status-like (the amp's "
                   "codes at offset 6)")
        ->type_name("KIND")
        ->transform(CLI::CheckedTransformer(foreign, CLI::ignore_case).description(""))
        ->transform(CLI::IsMember(foreign, CLI::ignore_case).description(""));
    app.add_flag("--foreign-identity", plan.foreignIdentity,
                 "Another maker's Identity Reply (09.99) 200 ms before the amp's own");
    app.add_flag("--duplicate-replies", plan.duplicateReplies, "Send every status answer twice");
    app.add_flag("--keep-revision", plan.keepsRevision,
                 "Program the upload yet go on reporting the old revision");
    auto maker = std::make_shared<std::string>();
    app.add_option("--maker", *maker,
                   "Be another maker's device, not an amp: answer the Identity Request with this maker ID (hex, "
                   "such as 43 or 00206B) and take nothing else")
        ->type_name("HEX");
    app.add_flag("--short-replies", plan.shortReplies, "Answers too short to carry a code or revision");
    app.add_option("--vanish-at-packet", plan.vanishAtPacket,
                   "Close the ports on receiving this packet (0-based)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--vanish-after-bytes", plan.vanishAfterBytes,
                   "Close the ports once this many bytes have arrived, whole messages or not")
        ->check(CLI::NonNegativeNumber);
    auto* restart = app.add_option("--restart-after-programming", plan.restartOffMs,
                                   "After 71, restart into the new code: gone for this many milliseconds, then "
                                   "back with the new revision")
                        ->check(CLI::NonNegativeNumber);
    app.add_flag("--never-back", plan.restartNeverBack, "With --restart-after-programming: gone for good")
        ->needs(restart);
    app.add_option("--midi-ready-after", plan.midiReadyDelayMs,
                   "With --restart-after-programming: back, hear nothing for this many milliseconds")
        ->check(CLI::NonNegativeNumber)
        ->needs(restart);
    auto* rawMidi = app.add_option("--rawmidi", options.rawMidi,
                                   "Speak on this raw MIDI device (such as hw:fmidi, a USB gadget's own end) "
                                   "instead of opening virtual ports, as the amp's firmware does");
    app.add_option("--usb-gadget", options.usbGadget,
                   "With --rawmidi: the USB gadget's configfs folder, unplugged when the amp vanishes or "
                   "restarts and plugged in again when it is back")
        ->needs(rawMidi);
    app.add_option("--write-image", options.writeImage, "Write the received image here when an upload ends");
    app.add_flag("--transcript", options.transcript, "Print every message received and every answer");

    app.callback([&options, revision, silentPacket, maker] {
        const auto parsed = parseRevision(*revision);
        if (!parsed)
            throw CLI::ValidationError("--revision", "'" + *revision + "' is not a revision like 02.83");
        options.revision = *parsed;
        if (!maker->empty()) {
            options.plan.otherMaker = parseMaker(*maker);
            if (options.plan.otherMaker.empty()) {
                throw CLI::ValidationError("--maker", "'" + *maker + "' is not a maker ID like 43 or 00206B");
            }
        }
        if (silentPacket->count() > 0 && options.plan.silentAt != Stage::Packet) {
            throw CLI::ValidationError("--silent-packet", "needs --silent-at packet");
        }
    });
}

}  // namespace kaldo::sim
