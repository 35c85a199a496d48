// SPDX-License-Identifier: MIT
#include "export/chapter_file.h"

#include <cstdio>
#include <pugixml.hpp>
#include <sstream>

#include "platform/file.h"
#include "platform/paths.h"
#include "playlist/playlist_text.h"

namespace morvale {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

// HH:MM:SS.nnnnnnnnn
std::string matroskaTime(int64_t ns) {
    char text[40];
    const int64_t seconds = ns / kNsPerSecond;
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%09lld",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60), static_cast<long long>(ns % kNsPerSecond));
    return text;
}

// HH:MM:SS.mmm
std::string ogmTime(int64_t ms) {
    char text[40];
    const int64_t seconds = ms / 1000;
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60), static_cast<long long>(ms % 1000));
    return text;
}

std::string matroskaXml(const std::vector<DescribedChapter>& chapters) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    doc.append_child(pugi::node_doctype).set_value("Chapters SYSTEM \"matroskachapters.dtd\"");
    pugi::xml_node edition = doc.append_child("Chapters").append_child("EditionEntry");
    for (const DescribedChapter& chapter : chapters) {
        pugi::xml_node atom = edition.append_child("ChapterAtom");
        atom.append_child("ChapterTimeStart").text() = matroskaTime(chapter.startNs).c_str();
        pugi::xml_node display = atom.append_child("ChapterDisplay");
        display.append_child("ChapterString").text() = singleLineText(chapter.name).c_str();
        display.append_child("ChapterLanguage").text() = "und";
    }
    std::ostringstream text;
    doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
    return text.str();
}

std::string ogmText(const std::vector<DescribedChapter>& chapters) {
    std::string text;
    for (size_t i = 0; i < chapters.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "CHAPTER%02zu", i + 1);
        text += std::string(number) + "=" + ogmTime(chapters[i].startMs) + "\n";
        text += std::string(number) + "NAME=" + singleLineText(chapters[i].name) + "\n";
    }
    return text;
}

}  // namespace

std::optional<ChapterFormat> chapterFormatOf(std::string_view path) {
    const std::string extension = upperExtension(path);
    if (extension == ".XML") return ChapterFormat::MatroskaXml;
    if (extension == ".TXT") return ChapterFormat::OgmText;
    return std::nullopt;
}

std::string chapterText(const std::vector<DescribedChapter>& chapters, ChapterFormat format) {
    return format == ChapterFormat::MatroskaXml ? matroskaXml(chapters) : ogmText(chapters);
}

void writeChapterFile(const std::string& path, const std::vector<DescribedChapter>& chapters,
                      ChapterFormat format) {
    const std::string text = chapterText(chapters, format);
    OutputFile file = OutputFile::create(path);
    file.write(text.data(), text.size());
    file.close();
}

}  // namespace morvale
