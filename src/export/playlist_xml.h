// SPDX-License-Identifier: MIT
#pragma once

// The playlist's XML as the model reads it (within the export library only): element names
// without their prefix in any letter case, attributes by name in any letter case as valid
// UTF-8, and a walk over every element in document order that needs no recursion.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace morvale::playlist_xml {

bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The element's name without a namespace prefix: the playlist's names are compared in any
// letter case, as the playlist page does.
std::string_view localName(const pugi::xml_node& node);
bool isElement(const pugi::xml_node& node, std::string_view lowerName);

// An attribute by its name in any letter case, as valid UTF-8; empty when absent.
std::string attribute(const pugi::xml_node& node, std::string_view name);
// An attribute as a number from 0 to 2^31-1; 0 when absent or not such a number.
int intAttribute(const pugi::xml_node& node, std::string_view name);

// Calls enter(element) for every element below `root` in document order and leave(element)
// once everything below it was entered. The walk goes by the tree's own links, so any depth
// takes no stack.
template <class Enter, class Leave>
void walkElements(const pugi::xml_node& root, Enter&& enter, Leave&& leave) {
    pugi::xml_node node = root.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            enter(node);
            if (pugi::xml_node child = node.first_child()) {
                node = child;
                continue;
            }
            leave(node);
        }
        while (!node.next_sibling()) {
            node = node.parent();
            if (!node || node == root) return;
            leave(node);
        }
        node = node.next_sibling();
    }
}

}  // namespace morvale::playlist_xml
