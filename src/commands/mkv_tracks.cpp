// SPDX-License-Identifier: MIT
#include "commands/mkv_tracks.h"

#include <algorithm>
#include <memory>

#include "export/audio_duration.h"
#include "export/feature_description.h"
#include "export/mkv_hand_off.h"
#include "export/wav_writer.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "playlist/playlist_text.h"

namespace morvale {

namespace {

constexpr int64_t kCopyPiece = 1 << 20;

void writeText(const std::string& path, const std::string& text) {
    OutputFile file = OutputFile::create(path);
    file.write(text.data(), text.size());
    file.close();
}

int64_t sizeOf(const std::string& path) {
    return path.empty() || !fileExists(path) ? 0 : SourceFile::open(path, ShareMode::Shared).size();
}

// The part's reference: its first video stream's earliest picture and how long its video
// plays; without video, its earliest stream and its longest span.
TimelinePart timelinePartOf(const std::vector<const StreamWork*>& all, size_t p) {
    TimelinePart part;
    const auto timesOf = [p](const StreamWork* work) -> const StreamTimes* {
        const std::optional<ScannedStream>& scanned = work->parts[p];
        return scanned && scanned->times.seen ? &scanned->times : nullptr;
    };
    for (const StreamWork* work : all) {
        const StreamTimes* times = timesOf(work);
        if (times == nullptr) continue;
        if (!part.earliestPts || ptsDifference(times->minPts(), *part.earliestPts) < 0) {
            part.earliestPts = times->minPts();
        }
        if (!part.referencePts && work->slotKind() == SlotKind::Video) {
            part.referencePts = times->minPts();
            const FramePeriod period = work->parts[p]->playPeriod();
            part.referenceDuration =
                (times->latest - times->earliest) +
                (int64_t{kTicksPerSecond} * period.numerator + period.denominator / 2) /
                    period.denominator;
        }
    }
    if (!part.referencePts && part.earliestPts) {
        part.referencePts = part.earliestPts;
        for (const StreamWork* work : all) {
            if (const StreamTimes* times = timesOf(work)) {
                part.referenceDuration = std::max(
                    part.referenceDuration, ptsDifference(times->maxPts(), *part.earliestPts));
            }
        }
    }
    return part;
}

// The times of every picture of the stream's parts on the timeline, in decoding order.
void makeVideoTrack(const StreamWork& work, const Timeline& timeline,
                    MkvTrackInput& track, MkvTracks& made) {
    std::vector<int64_t> ticks;
    for (size_t p = 0; p < work.pictureTimes.size() && p < timeline.parts(); ++p) {
        const std::optional<uint32_t>& first = work.timerFirstPts[p];
        if (!first || !timeline.reference(p)) continue;
        const int64_t base = timeline.placeOf(p, *first);
        for (int64_t t : work.pictureTimes[p])
            ticks.push_back(base + t);
    }
    track.type = MkvTrackType::Video;
    track.files = {{work.files[0], 0}};
    made.files.push_back(work.files[0]);
    if (ticks.empty()) return;
    track.timestampsPath = work.files[0] + ".timestamps";
    writeText(track.timestampsPath, timestampFileText(ticks));
    made.files.push_back(track.timestampsPath);
}

// LPCM's format as its first part gives it, in the layout of the sources.
std::optional<LpcmFormat> lpcmFormatOf(const StreamWork& work, LpcmLayout layout) {
    for (const std::optional<ScannedStream>& part : work.parts) {
        if (part && part->lpcmHeader) return decodeLpcmHeader(*part->lpcmHeader, layout);
    }
    return std::nullopt;
}

int64_t lpcmFrames(int64_t bytes, const LpcmFormat& format, LpcmLayout layout) {
    return bytes / lpcmBlockBytes(format, layout) * lpcmFramesPerBlock(format, layout);
}

// The first `frames` sample frames of an LPCM file as WAV; returns its path.
std::string convertToWav(const std::string& lpcm, int64_t frames, const LpcmFormat& format,
                         LpcmLayout layout, CommandHost& host) {
    host.log("Converting " + fileNameOf(lpcm) + " to WAV");
    const std::string wav = lpcm.substr(0, lpcm.size() - 4) + "wav";
    SourceFile in = SourceFile::open(lpcm, ShareMode::Shared);
    LpcmWavWriter writer(wav, format, layout);
    int64_t left = frames / lpcmFramesPerBlock(format, layout) * lpcmBlockBytes(format, layout);
    const auto buffer = std::make_unique<uint8_t[]>(kCopyPiece);
    while (left > 0) {
        const int64_t got = in.read(buffer.get(), std::min(kCopyPiece, left));
        if (got <= 0) break;
        writer.write({buffer.get(), size_t(got)});
        left -= got;
    }
    writer.close();
    return wav;
}

// Each part's file at its place; the frames that would overlap the next part's own are cut.
void makeAudioTrack(const StreamWork& work, const Timeline& timeline, LpcmLayout layout,
                    MkvTrackInput& track, MkvTracks& made, CommandHost& host) {
    const WorkFileKind& kind = workFileKindOf(work.kind->format);
    const std::optional<LpcmFormat> lpcm = kind.lpcm ? lpcmFormatOf(work, layout) : std::nullopt;
    if (kind.lpcm && !lpcm) {
        host.log(fileNameOf(work.files.front()) + ": the LPCM format is not one this program knows");
        return;
    }
    std::vector<AudioPartFile> files(work.files.size());
    std::vector<int64_t> lpcmKeep(work.files.size(), INT64_MAX);
    for (size_t p = 0; p < files.size(); ++p) {
        const int64_t bytes = sizeOf(work.files[p]);
        files[p].present = bytes > 0;
        if (!files[p].present) continue;
        if (work.parts[p] && work.parts[p]->times.seen) files[p].firstPts = work.parts[p]->times.minPts();
        files[p].durationTicks =
            lpcm ? lpcmFrames(bytes, *lpcm, layout) * kTicksPerSecond / lpcm->sampleRate
                 : audioFileDurationTicks(work.files[p], *kind.coding).value_or(0);
    }
    const AudioPlacement placement = placeAudio(timeline, files, [&](size_t p, int64_t maxTicks) {
        if (!lpcm) return trimAudioFile(work.files[p], *kind.coding, maxTicks);
        lpcmKeep[p] = maxTicks * lpcm->sampleRate / kTicksPerSecond;
        return lpcmKeep[p] * kTicksPerSecond / lpcm->sampleRate;
    });
    if (placement.leftOutTicks > 0) {
        host.log(streamName(work) + ": " + std::to_string(ticksToMilliseconds(placement.leftOutTicks)) +
                 " ms left out where a part runs past the next part's start.");
    }
    track.type = MkvTrackType::Audio;
    for (size_t p = 0; p < files.size(); ++p) {
        if (!files[p].present) continue;
        std::string path = work.files[p];
        if (lpcm) {
            const int64_t frames = std::min(lpcmFrames(sizeOf(path), *lpcm, layout), lpcmKeep[p]);
            path = convertToWav(path, frames, *lpcm, layout, host);
        }
        track.files.push_back({path, placement.parts[p].syncMs});
        made.files.push_back(path);
    }
}

// The video's frame size: the canvas of the subtitles.
SubtitleCanvas canvasOf(const MkvStreams& streams) {
    for (const StreamWork* work : streams.streams()) {
        if (work->slotKind() != SlotKind::Video) continue;
        for (const std::optional<ScannedStream>& part : work->parts) {
            if (part && part->facts.width != 0) return {int(part->facts.width), int(part->facts.height)};
        }
    }
    return {};
}

// The tracks the title lists: those of the clip the feature starts with, or the title's.
const std::vector<PlaylistTrack>* tracksOf(const MkvFeature& feature) {
    if (!feature.title) return nullptr;
    if (!feature.title->clips.empty() && !feature.title->clips.front().tracks.empty()) {
        return &feature.title->clips.front().tracks;
    }
    return &feature.title->tracks;
}

// The playlist track that plays a slot owner's slot (video track t: slot t-1; audio and
// subtitle streamNumber s: slot s-1).
const PlaylistTrack* trackOf(const StreamWork& work, const std::vector<PlaylistTrack>* tracks) {
    if (tracks == nullptr || !work.ownsSlot || !work.kind->hasSlot) return nullptr;
    const PlaylistTrackKind kind = work.slotKind() == SlotKind::Video   ? PlaylistTrackKind::Video
                                   : work.slotKind() == SlotKind::Audio ? PlaylistTrackKind::Audio
                                                                        : PlaylistTrackKind::Subtitle;
    for (const PlaylistTrack& track : *tracks) {
        if (track.kind == kind && track.slot == work.slot) return &track;
    }
    return nullptr;
}

void label(MkvTrackInput& track, const StreamWork& work, const std::vector<PlaylistTrack>* tracks) {
    if (const PlaylistTrack* listed = trackOf(work, tracks)) {
        track.name = singleLineText(listed->description);
        if (!listed->language.empty()) track.language = listed->language;
    }
}

// The audio track the title lists first among those made.
std::optional<size_t> listedFirstAudio(const MkvTracks& made, const std::vector<PlaylistTrack>* tracks) {
    if (tracks == nullptr) return std::nullopt;
    for (const PlaylistTrack& listed : *tracks) {
        if (listed.kind != PlaylistTrackKind::Audio) continue;
        for (size_t t = 0; t < made.tracks.size(); ++t) {
            if (made.tracks[t].type == MkvTrackType::Audio && trackOf(*made.streams[t], tracks) == &listed)
                return t;
        }
    }
    return std::nullopt;
}

// The first video plays by default, and the audio the title lists first (without a
// playlist, the lowest audio slot); subtitles never do.
void chooseDefaults(MkvTracks& made, const std::vector<PlaylistTrack>* tracks) {
    std::optional<size_t> video, lowestAudio;
    for (size_t t = 0; t < made.tracks.size(); ++t) {
        if (made.tracks[t].type == MkvTrackType::Video && !video) video = t;
        if (made.tracks[t].type == MkvTrackType::Audio && !lowestAudio) lowestAudio = t;
    }
    const std::optional<size_t> audio = listedFirstAudio(made, tracks);
    if (video) made.tracks[*video].isDefault = true;
    if (audio || lowestAudio) made.tracks[*(audio ? audio : lowestAudio)].isDefault = true;
}

}  // namespace

std::string streamName(const StreamWork& work) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("Stream 0x") + kHex[work.id.id >> 4] + kHex[work.id.id & 15];
}

Timeline timelineOf(const MkvStreams& streams, size_t parts) {
    const std::vector<const StreamWork*> all = streams.streams();
    std::vector<TimelinePart> timeline;
    for (size_t p = 0; p < parts; ++p)
        timeline.push_back(timelinePartOf(all, p));
    return Timeline(timeline);
}

MkvTracks makeTracks(MkvStreams& streams, const MkvFeature& feature, const std::string& stem,
                     CommandHost& host) {
    const Timeline timeline = timelineOf(streams, feature.parts.size());
    const LpcmLayout layout =
        upperExtension(feature.parts.front()) == ".EVO" ? LpcmLayout::HdDvd : LpcmLayout::Dvd;
    const SubtitleCanvas canvas = canvasOf(streams);
    const std::vector<PlaylistTrack>* titleTracks = tracksOf(feature);
    MkvTracks made;
    for (const StreamWork* work : streams.streams()) {
        MkvTrackInput track;
        switch (work->slotKind()) {
            case SlotKind::Video:
                makeVideoTrack(*work, timeline, track, made);
                break;
            case SlotKind::Audio:
                makeAudioTrack(*work, timeline, layout, track, made, host);
                break;
            case SlotKind::Subpicture:
                makeSubtitleTrack(*work, timeline, feature, canvas, stem, track, made, host);
                break;
        }
        if (track.files.empty()) continue;
        label(track, *work, titleTracks);
        made.tracks.push_back(std::move(track));
        made.streams.push_back(work);
    }
    chooseDefaults(made, titleTracks);
    return made;
}

}  // namespace morvale
