#include "xml/xslt_transform.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/library_loader.h"

namespace qx {

namespace {

// libxslt, libxml2 and the libraries they need (ICU among them) are loaded
// on the first transform, not with every process of the store: a delivery
// in a new process would otherwise spend a good part of its start loading
// them. Only their headers are used at build time.
struct Libxslt {
  decltype(&xmlInitParser) init_parser = nullptr;
  decltype(&xmlSetGenericErrorFunc) set_xml_error_func = nullptr;
  decltype(&xsltSetGenericErrorFunc) set_xslt_error_func = nullptr;
  decltype(&xmlReadMemory) read_memory = nullptr;
  decltype(&xmlFreeDoc) free_doc = nullptr;
  decltype(&xmlStrEqual) str_equal = nullptr;
  decltype(&xmlDocGetRootElement) root_element = nullptr;
  decltype(xmlFree)* free = nullptr;  // a variable of libxml2's holding its free function
  decltype(&xsltParseStylesheetDoc) parse_stylesheet = nullptr;
  decltype(&xsltFreeStylesheet) free_stylesheet = nullptr;
  decltype(&xsltNewSecurityPrefs) new_security_prefs = nullptr;
  decltype(&xsltFreeSecurityPrefs) free_security_prefs = nullptr;
  decltype(&xsltSetSecurityPrefs) set_security_prefs = nullptr;
  decltype(&xsltSecurityForbid) security_forbid = nullptr;
  decltype(&xsltNewTransformContext) new_context = nullptr;
  decltype(&xsltFreeTransformContext) free_context = nullptr;
  decltype(&xsltSetCtxtSecurityPrefs) set_context_security_prefs = nullptr;
  decltype(&xsltApplyStylesheetUser) apply_stylesheet = nullptr;
  decltype(&xsltSaveResultToString) save_result = nullptr;
};

void IgnoreLibraryMessage(void*, const char*, ...) {}

// The loaded and started libraries; null when they cannot be loaded.
const Libxslt* LoadLibxslt() {
  static Libxslt xslt;
  static bool loaded = false;
  static std::once_flag once;
  std::call_once(once, [] {
    // libxslt brings libxml2 in; its handle finds the symbols of both.
    platform::LibraryHandle library = platform::LoadLibrary("libxslt.so.1");
    if (library == nullptr) return;
    auto bind = [library](const char* name, auto* symbol) { return platform::BindSymbol(library, name, symbol); };
    loaded = bind("xmlInitParser", &xslt.init_parser) &&
             bind("xmlSetGenericErrorFunc", &xslt.set_xml_error_func) &&
             bind("xsltSetGenericErrorFunc", &xslt.set_xslt_error_func) &&
             bind("xmlReadMemory", &xslt.read_memory) && bind("xmlFreeDoc", &xslt.free_doc) &&
             bind("xmlStrEqual", &xslt.str_equal) &&
             bind("xmlDocGetRootElement", &xslt.root_element) && bind("xmlFree", &xslt.free) &&
             bind("xsltParseStylesheetDoc", &xslt.parse_stylesheet) &&
             bind("xsltFreeStylesheet", &xslt.free_stylesheet) &&
             bind("xsltNewSecurityPrefs", &xslt.new_security_prefs) &&
             bind("xsltFreeSecurityPrefs", &xslt.free_security_prefs) &&
             bind("xsltSetSecurityPrefs", &xslt.set_security_prefs) &&
             bind("xsltSecurityForbid", &xslt.security_forbid) &&
             bind("xsltNewTransformContext", &xslt.new_context) &&
             bind("xsltFreeTransformContext", &xslt.free_context) &&
             bind("xsltSetCtxtSecurityPrefs", &xslt.set_context_security_prefs) &&
             bind("xsltApplyStylesheetUser", &xslt.apply_stylesheet) &&
             bind("xsltSaveResultToString", &xslt.save_result);
    if (!loaded) return;
    xslt.init_parser();
    xslt.set_xslt_error_func(nullptr, IgnoreLibraryMessage);
  });
  return loaded ? &xslt : nullptr;
}

// libxml2 keeps its error handlers per thread; libxslt keeps one for all.
const Libxslt* StartLibraries() {
  const Libxslt* xslt = LoadLibxslt();
  if (xslt != nullptr) xslt->set_xml_error_func(nullptr, IgnoreLibraryMessage);
  return xslt;
}

// The loaded libraries, for what runs once TransformNode has found them loaded.
const Libxslt& Xslt() { return *LoadLibxslt(); }

struct XmlDocDeleter {
  void operator()(xmlDoc* doc) const { Xslt().free_doc(doc); }
};
struct StylesheetDeleter {
  void operator()(xsltStylesheet* style) const { Xslt().free_stylesheet(style); }
};
struct TransformContextDeleter {
  void operator()(xsltTransformContext* context) const { Xslt().free_context(context); }
};
struct SecurityPrefsDeleter {
  void operator()(xsltSecurityPrefs* prefs) const { Xslt().free_security_prefs(prefs); }
};
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// Length of the valid UTF-8 sequence at text[at], 0 when it is not one.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  const unsigned char second = byte(at + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      out.push_back('?');
      ++at;
    } else {
      out.append(text.substr(at, length));
      at += length;
    }
  }
  return out;
}

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string* out) : out_(out) {}
  void write(const void* data, size_t size) override { out_->append(static_cast<const char*>(data), size); }

 private:
  std::string* out_;
};

XmlDocPtr ParseForLibxml(pugi::xml_node node) {
  std::string text;
  StringWriter writer(&text);
  node.print(writer, "", kXmlSaveFormat | pugi::format_skip_control_chars, pugi::encoding_utf8);
  text = ValidUtf8(text);
  return XmlDocPtr(Xslt().read_memory(text.data(), static_cast<int>(text.size()), "document.xml", "UTF-8",
                                 XML_PARSE_NONET));
}

// xsl:import and xsl:include load their files while the stylesheet is
// compiled, where only libxslt's process-wide security preferences apply;
// a caller's stylesheet may hold neither.
bool LoadsOtherStylesheets(const xmlNode* node) {
  static const xmlChar* kXsltNamespace =
      reinterpret_cast<const xmlChar*>("http://www.w3.org/1999/XSL/Transform");
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const bool xslt = node->ns != nullptr && Xslt().str_equal(node->ns->href, kXsltNamespace);
    if (xslt && (Xslt().str_equal(node->name, BAD_CAST "import") ||
                 Xslt().str_equal(node->name, BAD_CAST "include"))) {
      return true;
    }
    if (LoadsOtherStylesheets(node->children)) return true;
  }
  return false;
}

std::unique_ptr<xsltStylesheet, StylesheetDeleter> CompileStylesheet(const XmlDocument& stylesheet) {
  XmlDocPtr style_doc = ParseForLibxml(stylesheet.dom());
  if (!style_doc || LoadsOtherStylesheets(Xslt().root_element(style_doc.get()))) return nullptr;
  xsltStylesheet* style = Xslt().parse_stylesheet(style_doc.get());
  if (style == nullptr) return nullptr;
  style_doc.release();  // the stylesheet owns it now
  return std::unique_ptr<xsltStylesheet, StylesheetDeleter>(style);
}

// A caller's stylesheet sees the document it is applied to and nothing
// else: document() of a file or a URL is refused, as are writes.
std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> NoFilesNoNetwork() {
  std::unique_ptr<xsltSecurityPrefs, SecurityPrefsDeleter> prefs(Xslt().new_security_prefs());
  if (!prefs) return prefs;
  for (xsltSecurityOption option :
       {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
        XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK}) {
    Xslt().set_security_prefs(prefs.get(), option, Xslt().security_forbid);
  }
  return prefs;
}

}  // namespace

XmlDocument TransformNode(pugi::xml_node source, const XmlDocument& stylesheet) {
  if (!source || !stylesheet || !stylesheet.DocumentElement()) return XmlDocument();
  if (StartLibraries() == nullptr) return XmlDocument();

  auto style = CompileStylesheet(stylesheet);
  XmlDocPtr input = ParseForLibxml(source);
  auto prefs = NoFilesNoNetwork();
  if (!style || !input || !prefs) return XmlDocument();
  std::unique_ptr<xsltTransformContext, TransformContextDeleter> context(
      Xslt().new_context(style.get(), input.get()));
  if (!context || Xslt().set_context_security_prefs(prefs.get(), context.get()) != 0) return XmlDocument();

  XmlDocPtr result(Xslt().apply_stylesheet(style.get(), input.get(), nullptr, nullptr, nullptr,
                                           context.get()));
  if (!result || context->state != XSLT_STATE_OK) return XmlDocument();
  xmlChar* text = nullptr;
  int length = 0;
  if (Xslt().save_result(&text, &length, result.get(), style.get()) != 0 || text == nullptr) {
    return XmlDocument();
  }
  std::string output(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
  (*Xslt().free)(text);

  XmlDocument document = XmlDocument::New();
  if (!document.LoadXml(output)) return XmlDocument();
  return document;
}

}  // namespace qx
