// Any message arriving on the MIDI input: the reply reading takes only what the message holds. The
// same bytes, taken as an image, are cut into header and packets without leaving it.
#include <cstdlib>

#include "Messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> message(data, size);
    const bool identity = kaldo::isIdentityReply(message);
    const auto code = kaldo::replyCodeOf(message);
    const auto reply = kaldo::identityReplyOf(message);
    if (identity && code) std::abort();
    if (code && (size < 7 || *code != data[6])) std::abort();
    if (reply && (!identity || size < 16 || reply->text.size() != 5)) std::abort();

    if (size >= 2) {
        // The first two bytes choose a packet length and number, the rest is the image.
        const int dataLength = data[0] * 3;
        const int k = data[1];
        const auto image = message.subspan(2);
        for (const auto part : {kaldo::headerMessage(image), kaldo::packetMessage(image, dataLength, k)}) {
            if (!part.empty() &&
                (part.data() < image.data() || part.data() + part.size() > image.data() + image.size())) {
                std::abort();
            }
        }
    }
    return 0;
}
