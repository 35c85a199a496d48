#include "sample_playlist.h"

#include <cstdio>

namespace morvale::sample {

std::string timeCode(int frames) {
    char text[48];
    const int seconds = frames / 24;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60, frames % 24);
    return text;
}

namespace {

// The tracks every clip of the title carries.
constexpr const char* kTracks =
    "        <Video track=\"1\" mediaAttr=\"1\" description=\"Feature\"/>\n"
    "        <Audio track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\" "
    "langcode=\"en:00\"/>\n"
    "        <Audio track=\"2\" streamNumber=\"2\" mediaAttr=\"1\" description=\"Deutsch\" "
    "langcode=\"de:00\"/>\n"
    "        <Audio track=\"3\" streamNumber=\"3\" mediaAttr=\"2\" description=\"Commentary\" "
    "langcode=\"en:00\"/>\n"
    "        <Subtitle track=\"1\" streamNumber=\"1\" mediaAttr=\"1\" description=\"English\" "
    "langcode=\"en:00\"/>\n"
    "        <Subtitle track=\"2\" streamNumber=\"2\" mediaAttr=\"1\" description=\"Deutsch\" "
    "langcode=\"de:00\"/>\n";

std::string clip(const char* id, const char* map, int begin, int end) {
    return std::string("      <PrimaryAudioVideoClip id=\"") + id +
           "\" src=\"file:///dvddisc/HVDVD_TS/" + map + "\" titleTimeBegin=\"" + timeCode(begin) +
           "\" titleTimeEnd=\"" + timeCode(end) + "\" clipTimeBegin=\"00:00:00:00\" " +
           "dataSource=\"Disc\">\n" + kTracks + "      </PrimaryAudioVideoClip>\n";
}

std::string chapter(int frame, const char* name) {
    return std::string("        <Chapter titleTimeBegin=\"") + timeCode(frame) +
           "\" displayName=\"" + name + "\"/>\n";
}

}  // namespace

std::string samplePlaylist(const PlaylistTimes& times) {
    const int first = times.firstPartFrames;
    const int total = first + times.secondPartFrames;
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<Playlist xmlns=\"http://www.dvdforum.org/2005/HDDVDVideo/Playlist\" "
               "majorVersion=\"1\" minorVersion=\"0\" displayName=\"Morvale Sample Disc\">\n"
               "  <Configuration>\n"
               "    <StreamingBuffer size=\"0\"/>\n"
               "    <Aperture width=\"1920\" height=\"1080\"/>\n"
               "    <MainVideoDefaultColor color=\"108080\"/>\n"
               "  </Configuration>\n"
               "  <MediaAttributeList>\n"
               "    <VideoAttributeItem index=\"1\" codec=\"VC-1\" sampleAspectRatio=\"16:9\" "
               "frameRate=\"24000/1001\" activeAreaX2=\"1919\" activeAreaY2=\"1079\"/>\n"
               "    <AudioAttributeItem index=\"1\" codec=\"DD+\" sampleFrequency=\"48\" "
               "channels=\"6\" bitrate=\"384\"/>\n"
               "    <AudioAttributeItem index=\"2\" codec=\"DD\" sampleFrequency=\"48\" "
               "channels=\"2\" bitrate=\"192\"/>\n"
               "    <SubpictureAttributeItem index=\"1\" codec=\"2bitRLC\"/>\n"
               "  </MediaAttributeList>\n"
               "  <TitleSet timeBase=\"24fps\" defaultLanguage=\"en\">\n"
               "    <Title id=\"Feature\" displayName=\"Sample Feature\" titleNumber=\"1\" "
               "titleDuration=\"") +
           timeCode(total) + "\" onEnd=\"Feature\">\n" +
           clip("FeaturePart1", "FEATURE_1.MAP", 0, first) +
           clip("FeaturePart2", "FEATURE_2.MAP", first, total) + "      <ChapterList>\n" +
           chapter(0, "Opening") + chapter(total * 3 / 10, "Tones") +
           chapter(first, "Second part") + chapter(total * 8 / 10, "Closing") +
           "      </ChapterList>\n"
           "    </Title>\n"
           "  </TitleSet>\n"
           "</Playlist>\n";
}

}  // namespace morvale::sample
