#include "decode/display_decode.h"

#include <algorithm>
#include <new>
#include <vector>

#include "decode/colour_profile.h"
#include "decode/exact_divider.h"
#include "decode/image_bitmap.h"
#include "decode/jpeg_decoder.h"
#include "decode/row_resample.h"
#include "decode/sync_event.h"

namespace {

// Lines (L) and line length (N) of the display image for the rotation.
struct Lines {
    int count;
    int length;
};

Lines LinesOf(const DisplayPlan& plan, const CImageBitmap& image)
{
    const bool columns = plan.rotation & 1;
    return {columns ? image.Width() : image.Height(), columns ? image.Height() : image.Width()};
}

bool Cancelled(CEvent* cancel)
{
    return cancel && cancel->IsSet();
}

bool Stopped(IDecodeProgress* progress, int total, int row)
{
    return progress && !progress->Progress(total, row);
}

void Place(const DisplayPlan& plan, CImageBitmap& image, int line, const uint32_t* pixels, int length)
{
    PlaceLine(image,
              PlaceOf(line, plan.rotation, plan.flipHorizontally, plan.flipVertically, image.Width(),
                      image.Height()),
              pixels, length);
}

}  // namespace

bool DisplayReduces(const DisplayPlan& plan, int displayWidth, int displayHeight)
{
    return ((plan.rotation & 1) ? displayHeight : displayWidth) < plan.sourceWidth;
}

bool DisplayIsDirect(const DisplayPlan& plan, int displayWidth, int displayHeight)
{
    const bool forward
        = (plan.rotation == 0 && !plan.flipHorizontally) || (plan.rotation == 2 && plan.flipHorizontally);
    return forward && displayWidth == plan.sourceWidth && displayHeight == plan.sourceHeight;
}

bool ReducingDecode(const DisplayPlan& plan, CImageBitmap& image, const RowReader& read, CEvent* cancel,
                    IDecodeProgress* progress)
{
    const int W = plan.sourceWidth, H = plan.sourceHeight;
    const Lines lines = LinesOf(plan, image);
    if (W <= 0 || H <= 0 || lines.count <= 0 || lines.length <= 0)
        return false;
    std::vector<uint8_t> row(size_t(W) * 3);
    std::vector<uint32_t> sum(plan.highQuality ? size_t(W) * 3 : 0);
    std::vector<uint32_t> line(size_t(std::max(image.Width(), image.Height())));
    const double step = double(lines.count) / H;
    double position = 0;
    int previous = -1;
    uint32_t accumulated = 0;
    for (int j = 0; j < H; ++j, position += step) {
        if (Cancelled(cancel) || !read(row.data()))
            return false;
        const int d = int(position);
        if (d < lines.count) {
            if (d == previous) {
                if (plan.highQuality) {
                    for (size_t i = 0; i < row.size(); ++i)
                        sum[i] += row[i];
                    ++accumulated;
                }
            } else {
                if (plan.highQuality && accumulated > 0) {
                    // Line d is the mean of the rows after the first row of
                    // line d - 1 up to this one.
                    const ExactDivider divide(accumulated + 1);
                    for (size_t i = 0; i < row.size(); ++i) {
                        row[i] = uint8_t(divide(row[i] + sum[i]));
                        sum[i] = 0;
                    }
                    accumulated = 0;
                }
                ReduceRow(row.data(), W, line.data(), lines.length, plan.highQuality);
                if (plan.lineColour) {
                    auto* bytes = reinterpret_cast<uint8_t*>(line.data());
                    plan.lineColour->Apply(bytes, bytes, lines.length);
                }
                Place(plan, image, d, line.data(), lines.length);
                previous = d;
            }
        }
        if (Stopped(progress, H, j))
            return false;
    }
    return true;
}

namespace {

// Writes one source row at lines [begin, end): expanded once, placed on each.
void PlaceSpan(const DisplayPlan& plan, CImageBitmap& image, const Lines& lines, const uint8_t* rgb,
               std::vector<uint32_t>& line, int begin, int end)
{
    if (begin >= end)
        return;
    ExpandRow(rgb, plan.sourceWidth, line.data(), lines.length, false);
    for (int d = begin; d < end; ++d)
        Place(plan, image, d, line.data(), lines.length);
}

// Vertical ramp from `previous` to `current` over lines [begin, end).
void PlaceRamp(const DisplayPlan& plan, CImageBitmap& image, const Lines& lines,
               const std::vector<uint8_t>& previous, const std::vector<uint8_t>& current,
               std::vector<double>& increment, std::vector<uint8_t>& ramp, std::vector<uint32_t>& line,
               int begin, int end)
{
    const int n = end - begin;
    if (n <= 0)
        return;
    for (size_t i = 0; i < current.size(); ++i)
        increment[i] = (double(current[i]) - double(previous[i])) / n;
    for (int t = 0; t < n; ++t) {
        for (size_t i = 0; i < current.size(); ++i) {
            const int value = int(previous[i] + t * increment[i]);
            ramp[i] = uint8_t(std::clamp(value, 0, 255));
        }
        ExpandRow(ramp.data(), plan.sourceWidth, line.data(), lines.length, true);
        Place(plan, image, begin + t, line.data(), lines.length);
    }
}

}  // namespace

bool EnlargingDecode(const DisplayPlan& plan, CImageBitmap& image, const RowReader& read, CEvent* cancel,
                     IDecodeProgress* progress)
{
    const int W = plan.sourceWidth, H = plan.sourceHeight;
    const Lines lines = LinesOf(plan, image);
    if (W <= 0 || H <= 0 || lines.count <= 0 || lines.length <= 0)
        return false;
    const size_t samples = size_t(W) * 3;
    std::vector<uint8_t> previous(samples), current(samples);
    std::vector<double> increment(plan.interpolate ? samples : 0);
    std::vector<uint8_t> ramp(plan.interpolate ? samples : 0);
    std::vector<uint32_t> line(size_t(std::max(image.Width(), image.Height())));
    const double step = double(lines.count) / H;

    if (Cancelled(cancel) || !read(previous.data()))
        return false;
    double position = 0;
    if (!plan.interpolate) {
        // The only row of a one-row image covers every line.
        const int first = H == 1 ? lines.count : std::min(int(step), lines.count);
        PlaceSpan(plan, image, lines, previous.data(), line, 0, first);
        position = step;
    }
    if (Stopped(progress, H, 0))
        return false;
    for (int k = 1; k < H; ++k) {
        if (Cancelled(cancel) || !read(current.data()))
            return false;
        const int s = int(position);
        // The last row reaches the last line whatever the rounding of the sums.
        int e = k == H - 1 && !plan.interpolate ? lines.count : int(position + step);
        e = std::min(e, lines.count);
        if (s < lines.count) {
            if (plan.interpolate)
                PlaceRamp(plan, image, lines, previous, current, increment, ramp, line, s, e);
            else
                PlaceSpan(plan, image, lines, current.data(), line, s, e);
        }
        if (plan.interpolate)
            previous.swap(current);
        if (Stopped(progress, H, k))
            return false;
        position += step;
    }
    if (plan.interpolate) {
        ExpandRow(previous.data(), W, line.data(), lines.length, true);
        for (int d = std::max(0, int(position)); d < lines.count; ++d)
            Place(plan, image, d, line.data(), lines.length);
    }
    return true;
}

bool DirectDecode(const DisplayPlan& plan, CImageBitmap& image, const PixelRowReader& read, CEvent* cancel,
                  IDecodeProgress* progress)
{
    const int H = plan.sourceHeight;
    if (image.Width() != plan.sourceWidth || image.Height() != H || H <= 0)
        return false;
    for (int j = 0; j < H; ++j) {
        if (Cancelled(cancel))
            return false;
        const LinePlacement where
            = PlaceOf(j, plan.rotation, plan.flipHorizontally, plan.flipVertically, image.Width(), H);
        {
            PixelLocker lock(image);
            if (!read(image.Row(where.index)))
                return false;
            image.MarkRow(where.index);
        }
        if (Stopped(progress, H, j))
            return false;
    }
    return true;
}
