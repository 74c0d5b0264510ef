#include "data/xml_document.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "data/atomic_file.h"
#include "data/text_convert.h"

namespace zorvan {

namespace {

void AppendText(XmlNode node, std::string& out) {
    // A leaf's text is kept in the element itself (parse_embed_pcdata).
    if (node.type() == pugi::node_element) out += node.value();
    for (XmlNode child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            out += child.value();
        } else if (child.type() == pugi::node_element) {
            AppendText(child, out);
        }
    }
}

// Text-only elements keep their text in the element node rather than in a
// child node of its own: half the nodes for a campaign's fields.
constexpr unsigned kParseFlags = pugi::parse_default | pugi::parse_declaration | pugi::parse_embed_pcdata;

}  // namespace

int XmlChildList::length() const {
    if (!parent_) return -1;
    int count = 0;
    for (XmlNode child = parent_.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) ++count;
    }
    return count;
}

XmlNode XmlChildList::item(int index) const {
    if (!parent_ || index < 0) return {};
    for (XmlNode child = parent_.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (index-- == 0) return child;
    }
    return {};
}

XmlDocument::XmlDocument() { AddDeclaration(); }

void XmlDocument::AddDeclaration() {
    XmlNode decl = doc_.prepend_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    decl.append_attribute("standalone") = "no";
}

bool XmlDocument::Open(const std::string& path) {
    doc_.reset();
    path_ = path;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        AddDeclaration();
        return true;
    }
    const auto size = static_cast<std::size_t>(in.tellg());
    in.seekg(0);
    // Parsed in place in a buffer the document takes over: no second copy.
    void* buffer = pugi::get_memory_allocation_function()(size == 0 ? 1 : size);
    if (buffer == nullptr || !in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size))) {
        if (buffer != nullptr) pugi::get_memory_deallocation_function()(buffer);
        AddDeclaration();
        return false;
    }
    // Whitespace-only text between elements is not kept.
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace_own(buffer, size, kParseFlags);
    if (!result) {
        // A file that does not parse counts as an empty document; what is
        // saved next is a fresh file with its declaration.
        doc_.reset();
        AddDeclaration();
        return false;
    }
    return true;
}

namespace {
class StringWriter final : public pugi::xml_writer {
public:
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};
}  // namespace

std::string XmlDocument::Serialize() const {
    StringWriter out;
    // The document carries its own declaration; no indentation is added.
    doc_.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(out.text);
}

bool XmlDocument::Save() {
    if (path_.empty()) return true;
    return Save(path_);
}

bool XmlDocument::Save(const std::string& path) {
    std::string error;
    if (!WriteFileAtomically(path, Serialize(), &error)) {
        std::fprintf(stderr, "Save file '%s' failed:%s\n", path.c_str(), error.c_str());
        return false;
    }
    path_ = path;
    return true;
}

XmlNode XmlDocument::Root() {
    XmlNode root = doc_.document_element();
    if (!root) root = doc_.append_child("dialer");
    return root;
}

XmlNode XmlDocument::ExistingRoot() const { return doc_.document_element(); }

XmlNode XmlDocument::ChildElement(XmlNode node, std::string_view name) {
    const std::string key(name);
    XmlNode child = node.child(key.c_str());
    if (!child) child = node.append_child(key.c_str());
    return child;
}

XmlNode XmlDocument::FindChild(const XmlChildList& children, std::string_view name) {
    const int count = children.length();
    for (int i = 0; i < count; ++i) {
        XmlNode node = children.item(i);
        if (name == node.name()) return node;
    }
    return {};
}

std::string XmlDocument::ReadText(XmlNode element) {
    std::string text;
    AppendText(element, text);
    return text;
}

std::string XmlDocument::ReadText(XmlNode element, const std::string& defaultText) {
    std::string text = ReadText(element);
    if (text.empty() && !defaultText.empty()) {
        WriteText(element, defaultText);
        text = defaultText;
    }
    return text;
}

bool XmlDocument::ReadBool(XmlNode element, bool defaultValue) {
    const std::string text = ReadText(element);
    if (EqualsIgnoreCase(text, "true")) return true;
    if (EqualsIgnoreCase(text, "false")) return false;
    WriteBool(element, defaultValue);
    return defaultValue;
}

std::int32_t XmlDocument::ReadInt(XmlNode element, std::int32_t defaultValue) {
    const std::string text = ReadText(element);
    if (text.empty()) {
        WriteInt(element, defaultValue);
        return defaultValue;
    }
    return LeadingInt(text);
}

void XmlDocument::WriteText(XmlNode element, std::string_view text) {
    while (XmlNode child = element.first_child()) element.remove_child(child);
    // Sets the text kept in the element, or adds a text node.
    if (!text.empty() || element.value()[0] != '\0') element.text().set(text.data(), text.size());
}

void XmlDocument::WriteBool(XmlNode element, bool value) { WriteText(element, value ? "true" : "false"); }

void XmlDocument::WriteInt(XmlNode element, std::int32_t value) { WriteText(element, FormatInt(value)); }

void XmlDocument::RemoveElementChildren(XmlNode node) {
    for (XmlNode child = node.first_child(); child;) {
        XmlNode next = child.next_sibling();
        if (child.type() == pugi::node_element) node.remove_child(child);
        child = next;
    }
}

void XmlDocument::RemoveFromParent(XmlNode node) {
    if (XmlNode parent = node.parent()) parent.remove_child(node);
}

}  // namespace zorvan
