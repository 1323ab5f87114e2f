#include "Pictures.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>

#include <QFile>

namespace kaldo {

namespace {

// libjpeg reports a fatal error through error_exit, which must not return: jump back out of the
// decoder instead of letting the library end the program.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void onJpegError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

void onJpegMessage(j_common_ptr) {}  // warnings about slightly damaged data are not worth a line

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) return {};
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onJpegError;
    err.base.output_message = onJpegMessage;
    // Everything the jump may skip past is created before setjmp, so nothing leaks on an error.
    QImage image;
    if (setjmp(err.escape)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                   QImage::Format_RGB888);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

QPixmap picture(const QString& name) {
    QFile file(":/" + name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QPixmap pixmap = QPixmap::fromImage(decodeJpeg(file.readAll()));
    pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

}  // namespace kaldo
