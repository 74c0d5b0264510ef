#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace zorvan {

using XmlNode = pugi::xml_node;

// The element children of a node, in document order.
class XmlChildList {
public:
    explicit XmlChildList(XmlNode parent) : parent_(parent) {}
    // The number of children; -1 when the list cannot be read.
    int length() const;
    XmlNode item(int index) const;

private:
    XmlNode parent_;
};

// A DOM document bound to a file path, with the few element operations the
// settings file and the campaign file are built on. Reading an element
// creates it when missing; reading a value may write its default back.
class XmlDocument {
public:
    XmlDocument();

    // Starts a new document and remembers the path. An existing file is
    // parsed (true only when that succeeds); a missing one gives a document
    // holding just the XML declaration (true).
    bool Open(const std::string& path);
    // Writes to the remembered path (true doing nothing when there is none).
    bool Save();
    // Writes to `path` and, on success, remembers it.
    bool Save(const std::string& path);

    XmlNode Root();
    // The document's element as the file has it; none when it has none.
    XmlNode ExistingRoot() const;
    XmlNode ChildElement(XmlNode node, std::string_view name);
    static XmlNode FindChild(const XmlChildList& children, std::string_view name);
    static XmlChildList Children(XmlNode node) { return XmlChildList(node); }

    static std::string ReadText(XmlNode element);
    static std::string ReadText(XmlNode element, const std::string& defaultText);
    static bool ReadBool(XmlNode element, bool defaultValue);
    static std::int32_t ReadInt(XmlNode element, std::int32_t defaultValue);
    static void WriteText(XmlNode element, std::string_view text);
    static void WriteBool(XmlNode element, bool value);
    static void WriteInt(XmlNode element, std::int32_t value);
    static void RemoveElementChildren(XmlNode node);
    static void RemoveFromParent(XmlNode node);

    const std::string& path() const { return path_; }
    // The whole document as the file would hold it.
    std::string Serialize() const;
    pugi::xml_document& dom() { return doc_; }

private:
    void AddDeclaration();

    pugi::xml_document doc_;
    std::string path_;
};

}  // namespace zorvan
