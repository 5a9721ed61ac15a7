#pragma once

#include "player/LevelPlugin.h"
#include "player/Loudness.h"

#include <QString>

#include <optional>
#include <vector>

// Levelling inside libmpv, by the same Leveller as the audio engine: libmpv's audio passes an
// FFmpeg "ladspa" filter that runs the program's levelling plugin, which hands each frame to
// this object on libmpv's filter thread.
class MpvLeveller
{
public:
    MpvLeveller();
    ~MpvLeveller();
    MpvLeveller(const MpvLeveller &) = delete;
    MpvLeveller &operator=(const MpvLeveller &) = delete;

    // False when the plugin could not be opened (levelling in libmpv then does nothing).
    bool available() const { return m_bind != nullptr; }
    // The audio filter to give libmpv ("af"), labelled `label`.
    QString filter(const QString &label) const;
    // A new station: the gain starts at the one remembered, if any (no frame is levelled meanwhile).
    void start(std::optional<double> rememberedGain);
    Loudness::Reading reading() const { return m_leveller.reading(); }

    // Where the plugin is: beside the program once installed, else where the build made it.
    static QString pluginPath();

private:
    static void process(void *self, float **channels, int count, unsigned long frames, unsigned long rate);

    Leveller m_leveller;
    std::vector<float> m_frames; // the channels interleaved, as the Leveller takes them
    void *m_library = nullptr;
    QString m_path; // the plugin as opened here, the file FFmpeg is to open too
    HxLevelBind m_bind = nullptr;
    HxLevelUnbind m_unbind = nullptr;
    unsigned m_number = 0;
};
