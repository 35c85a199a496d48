// SPDX-License-Identifier: MIT
#pragma once

namespace morvale::testing {

// The example disc's playlist, as authoring tools write it (CR LF line ends): one title
// playing FEATURE_1 with a VC-1 track, an English six-channel Dolby Digital Plus track on
// stream 2 and one chapter.
inline constexpr const char* kExamplePlaylist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<Playlist majorVersion=\"1\" minorVersion=\"0\" displayName=\"Disc\">\r\n"
    "  <MediaAttributeList>\r\n"
    "    <VideoAttributeItem index=\"1\" codec=\"VC-1\" sampleAspectRatio=\"16:9\"/>\r\n"
    "    <AudioAttributeItem index=\"1\" codec=\"DD+\" channels=\"6\"/>\r\n"
    "  </MediaAttributeList>\r\n"
    "  <TitleSet>\r\n"
    "    <Title id=\"T1\" displayName=\"Main\" titleDuration=\"01:40:00:00\">\r\n"
    "      <PrimaryAudioVideoClip src=\"file:///dvddisc/HVDVD_TS/FEATURE_1.MAP\">\r\n"
    "        <Video track=\"1\" mediaAttr=\"1\"/>\r\n"
    "        <Audio track=\"1\" streamNumber=\"2\" mediaAttr=\"1\" description=\"English\"/>\r\n"
    "      </PrimaryAudioVideoClip>\r\n"
    "      <ChapterList>\r\n"
    "        <Chapter titleTimeBegin=\"00:00:00:00\" displayName=\"Start\"/>\r\n"
    "      </ChapterList>\r\n"
    "    </Title>\r\n"
    "  </TitleSet>\r\n"
    "</Playlist>\r\n";

}  // namespace morvale::testing
