#include "player/MpvLeveller.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtDebug>

#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<unsigned> nextNumber{1};

// Stereo, the common case, in loops the compiler runs several samples at a time.
void interleave(const float *__restrict left, const float *__restrict right, float *__restrict out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
}

void deinterleave(const float *__restrict in, float *__restrict left, float *__restrict right, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        left[i] = in[2 * i];
        right[i] = in[2 * i + 1];
    }
}

} // namespace

QString MpvLeveller::pluginPath()
{
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/halcyrix_level.so");
    if (QFileInfo::exists(installed))
        return installed;
    return QStringLiteral(HX_LEVEL_PLUGIN_BUILT);
}

MpvLeveller::MpvLeveller() : m_path(pluginPath()), m_number(nextNumber++)
{
    // FFmpeg opens the plugin by this same path and so finds this copy, bound below.
    m_library = dlopen(m_path.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        qWarning("levelling plugin: %s", dlerror());
        return;
    }
    m_bind = reinterpret_cast<HxLevelBind>(dlsym(m_library, HX_LEVEL_BIND));
    m_unbind = reinterpret_cast<HxLevelUnbind>(dlsym(m_library, HX_LEVEL_UNBIND));
    if (!m_bind || !m_unbind) {
        m_bind = nullptr;
        return;
    }
    m_leveller.start(std::nullopt);
    m_bind(m_number, &MpvLeveller::process, this);
}

MpvLeveller::~MpvLeveller()
{
    if (m_bind)
        m_unbind(m_number);
    if (m_library)
        dlclose(m_library);
}

QString MpvLeveller::filter(const QString &label) const
{
    // FFmpeg's quoting keeps the path whole; a path that would need more is not offered.
    if (!available() || m_path.contains(QLatin1Char('\'')) || m_path.contains(QLatin1Char(']')))
        return {};
    return QStringLiteral("@%1:lavfi=[ladspa=file='%2':plugin=%3:controls=c0=%4]")
        .arg(label, m_path, QLatin1String(HX_LEVEL_PLUGIN_LABEL))
        .arg(m_number);
}

void MpvLeveller::start(std::optional<double> rememberedGain)
{
    if (!m_bind)
        return;
    m_unbind(m_number);
    m_leveller.start(rememberedGain);
    m_bind(m_number, &MpvLeveller::process, this);
}

void MpvLeveller::process(void *self, float **channels, int count, unsigned long frames, unsigned long rate)
{
    auto *me = static_cast<MpvLeveller *>(self);
    const Leveller::Busy busy(me->m_leveller);
    const std::size_t n = std::size_t(frames);
    const std::size_t c = std::size_t(count);
    me->m_frames.resize(n * c);
    float *interleaved = me->m_frames.data();
    if (c == 2) {
        interleave(channels[0], channels[1], interleaved, n);
        if (me->m_leveller.process(interleaved, n, count, int(rate)))
            deinterleave(interleaved, channels[0], channels[1], n);
        return;
    }
    for (std::size_t ch = 0; ch < c; ++ch)
        for (std::size_t i = 0; i < n; ++i)
            interleaved[i * c + ch] = channels[ch][i];
    if (!me->m_leveller.process(interleaved, n, count, int(rate)))
        return;
    for (std::size_t ch = 0; ch < c; ++ch)
        for (std::size_t i = 0; i < n; ++i)
            channels[ch][i] = interleaved[i * c + ch];
}
