#include "decode/thumbnail_sampler.h"

#include <algorithm>

#include "decode/jpeg_decoder.h"
#include "decode/row_resample.h"

namespace {
// Source index trunc(i x step) of every destination index, as a running sum;
// -1 where it falls outside the source.
std::vector<int> SourceIndices(int count, double step, int sourceCount)
{
    std::vector<int> indices(static_cast<size_t>(count));
    double position = 0;
    for (int i = 0; i < count; ++i, position += step) {
        const int source = int(position);
        indices[size_t(i)] = source < sourceCount ? source : -1;
    }
    return indices;
}
}  // namespace

namespace {
// The thumbnail size before a sliver's zero side is raised to 1.
void RawFit(int width, int height, int size, int* fitWidth, int* fitHeight)
{
    if (width >= height) {
        *fitWidth = size;
        *fitHeight = int(double(height) / width * size + 0.5);
    } else {
        *fitWidth = int(double(width) / height * size + 0.5);
        *fitHeight = size;
    }
}
}  // namespace

int CThumbnailSampler::ReducedScale(int longer, int size)
{
    for (int denom : {8, 4, 2})
        if (longer / denom >= size)
            return denom;
    return 1;
}

bool CThumbnailSampler::FitSize(int width, int height, int size, int* fitWidth, int* fitHeight)
{
    if (width <= 0 || height <= 0 || size <= 0)
        return false;
    RawFit(width, height, size, fitWidth, fitHeight);
    *fitWidth = std::max(*fitWidth, 1);
    *fitHeight = std::max(*fitHeight, 1);
    return true;
}

CThumbnailSampler::CThumbnailSampler(int width, int height, int size)
{
    if (width <= 0 || height <= 0 || size <= 0)
        return;
    RawFit(width, height, size, &m_width, &m_height);
    // A sliver keeps at least one pixel across; its step then follows the
    // long side, so the thumbnail still spans the whole image.
    const bool sliver = m_width == 0 || m_height == 0;
    m_width = std::max(m_width, 1);
    m_height = std::max(m_height, 1);
    if (int64_t(m_width) * m_height > kMaxDisplayPixels)
        return;
    m_valid = true;
    // One step for both axes, so the thumbnail keeps the image's aspect.
    const double step = sliver ? double(std::max(width, height)) / size : double(width) / m_width;
    m_columns = SourceIndices(m_width, step, width);
    m_rows = SourceIndices(m_height, step, height);
    m_pixels.assign(size_t(m_width) * m_height, 0xFF000000u);
}

void CThumbnailSampler::AddRow(int y, const uint8_t* rgb)
{
    // Skip thumbnail rows whose source lies outside the image.
    while (m_nextRow < m_height && m_rows[size_t(m_nextRow)] >= 0 && m_rows[size_t(m_nextRow)] < y)
        ++m_nextRow;
    while (m_nextRow < m_height && m_rows[size_t(m_nextRow)] == y) {
        uint32_t* out = m_pixels.data() + size_t(m_nextRow) * m_width;
        for (int x = 0; x < m_width; ++x) {
            const int source = m_columns[size_t(x)];
            if (source >= 0)
                out[x] = PackPixel(rgb + 3 * source);
        }
        ++m_nextRow;
    }
}

int CThumbnailSampler::NextSourceRow() const
{
    return m_nextRow < m_height ? m_rows[size_t(m_nextRow)] : -1;
}
