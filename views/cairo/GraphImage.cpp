// Writing the speed graph to PNG and SVG files through cairo.
#include "views/cairo/GraphImage.h"

#include "platform/Errors.h"
#include "views/GraphPainter.h"
#include "views/cairo/CairoCanvas.h"

#include <cairo-svg.h>
#include <cairo.h>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

// The output file with the first error its writes met.
struct SOutFile
{
    FILE* pFile = nullptr;
    int nErrno = 0;
};

cairo_status_t WriteChunk(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<SOutFile*>(closure);
    if (out->nErrno != 0)
        return CAIRO_STATUS_WRITE_ERROR;
    errno = 0;
    if (std::fwrite(data, 1, length, out->pFile) != length)
    {
        out->nErrno = errno != 0 ? errno : EIO;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

void Paint(cairo_surface_t* surface, const SGraphData& data, int32_t nWidth, int32_t nHeight)
{
    cairo_t* cr = cairo_create(surface);
    {
        CCairoCanvas canvas(cr);
        PaintGraph(canvas, data, nWidth, nHeight);
        canvas.Flush();
    }
    cairo_destroy(cr);
}

// Returns the errno of the failed step, or 0.
int Render(SOutFile& out, const SGraphData& data, int32_t nWidth, int32_t nHeight,
           EGraphImageFormat format)
{
    cairo_status_t status;
    if (format == EGraphImageFormat::Png)
    {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, nWidth, nHeight);
        status = cairo_surface_status(surface);
        if (status == CAIRO_STATUS_SUCCESS)
        {
            Paint(surface, data, nWidth, nHeight);
            status = cairo_surface_write_to_png_stream(surface, WriteChunk, &out);
        }
        cairo_surface_destroy(surface);
    }
    else
    {
        cairo_surface_t* surface =
            cairo_svg_surface_create_for_stream(WriteChunk, &out, nWidth, nHeight);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
        status = cairo_surface_status(surface);
        if (status == CAIRO_STATUS_SUCCESS)
        {
            Paint(surface, data, nWidth, nHeight);
            cairo_surface_finish(surface);
            status = cairo_surface_status(surface);
        }
        cairo_surface_destroy(surface);
    }
    if (out.nErrno != 0)
        return out.nErrno;
    if (status == CAIRO_STATUS_NO_MEMORY)
        return ENOMEM;
    if (status != CAIRO_STATUS_SUCCESS)
        return EIO;
    return 0;
}

} // namespace

uint32_t WriteGraphImage(const SGraphData& data, int32_t nWidth, int32_t nHeight,
                         const std::string& path, EGraphImageFormat format)
{
    if (nWidth < 1 || nHeight < 1 || nWidth > kMaxGraphImageSide || nHeight > kMaxGraphImageSide)
        return platform::err::InvalidParameter;
    SOutFile out;
    errno = 0;
    out.pFile = std::fopen(path.c_str(), "wb");
    if (!out.pFile)
        return platform::Win32ErrorFromErrno(errno != 0 ? errno : EIO);

    int error = Render(out, data, nWidth, nHeight, format);
    // Buffered bytes meet a full disk only here.
    errno = 0;
    if (std::fflush(out.pFile) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(out.pFile) != 0 && error == 0)
        error = errno != 0 ? errno : EIO;
    if (error == 0)
        return platform::err::Success;

    // A cut-off picture is of no use; devices and pipes are left alone.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        std::filesystem::remove(path, ec);
    return platform::Win32ErrorFromErrno(error);
}
