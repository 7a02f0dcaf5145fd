#include "xml/xml_document.h"

#include <new>

namespace qx {

namespace {

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string* out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_->append(static_cast<const char*>(data), size);
  }

 private:
  std::string* out_;
};

bool IsChildOf(pugi::xml_node node, pugi::xml_node parent) {
  return node && node.parent() == parent;
}

void AppendText(pugi::xml_node node, std::string* out) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    switch (child.type()) {
      case pugi::node_pcdata:
      case pugi::node_cdata:
        out->append(child.value());
        break;
      case pugi::node_element:
        AppendText(child, out);
        break;
      default:
        break;
    }
  }
}

}  // namespace

XmlDocument XmlDocument::New() { return XmlDocument(std::make_shared<pugi::xml_document>()); }

pugi::xml_node XmlDocument::DocumentElement() const {
  return document_ ? document_->document_element() : pugi::xml_node();
}

bool XmlDocument::LoadXml(std::string_view text) const {
  if (!document_) return false;
  pugi::xml_parse_result result =
      document_->load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
  if (result && document_->document_element()) return true;
  document_->reset();
  return false;
}

std::string XmlDocument::Xml() const {
  std::string text;
  if (!document_) return text;
  StringWriter writer(&text);
  document_->save(writer, "", kXmlSaveFormat, pugi::encoding_utf8);
  return text;
}

uintptr_t XmlDocument::NewHandle() const {
  if (!document_) return 0;
  return reinterpret_cast<uintptr_t>(new HandleBody{document_, {}});
}

XmlDocument XmlDocument::FromHandle(uintptr_t handle) {
  if (handle == 0) return XmlDocument();
  return XmlDocument(BodyOf(handle)->document);
}

void XmlDocument::ReleaseHandle(uintptr_t handle) { delete BodyOf(handle); }

std::any* XmlDocument::HandleAnnex(uintptr_t handle) {
  return handle == 0 ? nullptr : &BodyOf(handle)->annex;
}

pugi::xpath_node_set SelectNodes(pugi::xml_node context, const char* xpath) {
  if (!context || xpath == nullptr) return pugi::xpath_node_set();
  try {
    pugi::xpath_query query(xpath);
    pugi::xpath_node_set nodes = query.evaluate_node_set(context);
    nodes.sort();
    return nodes;
  } catch (const pugi::xpath_exception&) {
    return pugi::xpath_node_set();
  } catch (const std::bad_alloc&) {
    return pugi::xpath_node_set();
  }
}

pugi::xml_node SelectSingleNode(pugi::xml_node context, const char* xpath) {
  if (!context || xpath == nullptr) return pugi::xml_node();
  try {
    pugi::xpath_query query(xpath);
    return query.evaluate_node(context).node();
  } catch (const pugi::xpath_exception&) {
    return pugi::xml_node();
  } catch (const std::bad_alloc&) {
    return pugi::xml_node();
  }
}

const char* AttributeValue(pugi::xml_node node, const char* name) {
  pugi::xml_attribute attribute = node.attribute(name);
  return attribute ? attribute.value() : nullptr;
}

bool SetAttribute(pugi::xml_node node, const char* name, std::string_view value) {
  if (!node) return false;
  pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) attribute = node.append_attribute(name);
  return attribute && attribute.set_value(value.data(), value.size());
}

pugi::xml_node AppendElement(pugi::xml_node parent, const char* name) {
  return parent.append_child(name);
}

pugi::xml_node InsertElementBefore(pugi::xml_node parent, const char* name, pugi::xml_node before) {
  if (!IsChildOf(before, parent)) return parent.append_child(name);
  pugi::xml_node element = parent.insert_child_before(pugi::node_element, before);
  if (element) element.set_name(name);
  return element;
}

pugi::xml_node MoveBefore(pugi::xml_node parent, pugi::xml_node node, pugi::xml_node before) {
  if (!node) return pugi::xml_node();
  if (!IsChildOf(before, parent)) return parent.append_move(node);
  return parent.insert_move_before(node, before);
}

bool RemoveChild(pugi::xml_node parent, pugi::xml_node child) {
  return IsChildOf(child, parent) && parent.remove_child(child);
}

std::string NodeText(pugi::xml_node node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  std::string text;
  AppendText(node, &text);
  return text;
}

std::string NodeXml(pugi::xml_node node) {
  std::string text;
  if (!node) return text;
  StringWriter writer(&text);
  node.print(writer, "", kXmlSaveFormat, pugi::encoding_utf8);
  return text;
}

}  // namespace qx
