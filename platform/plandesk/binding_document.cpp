#include "binding_document.h"

#include <cstring>
#include <initializer_list>

namespace plandesk {
namespace {

constexpr char kTextEncoding[] = "textMessageEncoding";
constexpr char kBinaryEncoding[] = "binaryMessageEncoding";
constexpr char kOtherEncoding[] = "messageEncoding";
constexpr char kKnownTransport[] = "KvHttpEngineTransport";
constexpr char kOtherTransport[] = "transport";
constexpr char kSecurity[] = "security";

using Names = std::initializer_list<const char*>;
constexpr Names kEncodingNames = {kTextEncoding, kBinaryEncoding, kOtherEncoding};
constexpr Names kTransportNames = {kKnownTransport, kOtherTransport};
constexpr Names kSecurityNames = {kSecurity};

// An attribute this component owns on a part; a NULL value removes it.
struct OwnAttribute {
  const char* name;
  const std::string* value;
};

bool HasName(pugi::xml_node node, Names names) {
  for (const char* name : names) {
    if (std::strcmp(node.name(), name) == 0) return true;
  }
  return false;
}

pugi::xml_node FindPart(pugi::xml_node binding, Names names) {
  return binding.find_child([names](pugi::xml_node child) {
    return child.type() == pugi::node_element && HasName(child, names);
  });
}

pugi::xml_node ChildOrAppend(pugi::xml_node parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  return child ? child : parent.append_child(name);
}

// Makes the binding's element of a part be named `name` and hold `attributes`. An element of the
// part that is there already is renamed rather than replaced, so what others put on it stays; a
// new one goes in front of `before` (or last).
pugi::xml_node PutPart(pugi::xml_node binding, Names names, const char* name,
                       std::initializer_list<OwnAttribute> attributes, pugi::xml_node before) {
  pugi::xml_node element = FindPart(binding, names);
  if (element) {
    element.set_name(name);
  } else {
    element = before ? binding.insert_child_before(name, before) : binding.append_child(name);
  }
  for (const OwnAttribute& own : attributes) {
    if (own.value == nullptr) {
      element.remove_attribute(own.name);
      continue;
    }
    pugi::xml_attribute attribute = element.attribute(own.name);
    if (!attribute) attribute = element.append_attribute(own.name);
    attribute.set_value(own.value->c_str());
  }
  return element;
}

bool IsKnownEncoding(const std::string& encoding) { return encoding == kTextEncoding || encoding == kBinaryEncoding; }

void PutDeclaration(pugi::xml_document& document) {
  pugi::xml_node declaration = document.first_child();
  if (declaration.type() != pugi::node_declaration) {
    declaration = document.prepend_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
  }
  pugi::xml_attribute encoding = declaration.attribute("encoding");
  // The encoding pseudo-attribute has to come before "standalone".
  if (!encoding) encoding = declaration.insert_attribute_after("encoding", declaration.attribute("version"));
  if (!encoding) encoding = declaration.prepend_attribute("encoding");
  encoding = "utf-8";
}

struct StringWriter final : pugi::xml_writer {
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

}  // namespace

bool PutBinding(pugi::xml_document& document, const std::string& port, const BindingValues& values,
                std::string& error) {
  pugi::xml_node root = document.document_element();
  if (!root) {
    root = document.append_child("configuration");
  } else if (std::strcmp(root.name(), "configuration") != 0) {
    error = std::string("its root element is <") + root.name() + ">, not <configuration>";
    return false;
  }
  pugi::xml_node bindings =
      ChildOrAppend(ChildOrAppend(ChildOrAppend(root, "system.serviceModel"), "bindings"), "customBinding");
  pugi::xml_node binding = bindings.find_child_by_attribute("binding", "name", port.c_str());
  if (!binding) {
    binding = bindings.append_child("binding");
    binding.append_attribute("name") = port.c_str();
  }

  const bool knownTransport = values.transport == kKnownTransport;
  const pugi::xml_node transport =
      PutPart(binding, kTransportNames, knownTransport ? kKnownTransport : kOtherTransport,
              {{"kind", knownTransport ? nullptr : &values.transport}}, pugi::xml_node());

  const bool knownEncoding = IsKnownEncoding(values.messageEncoding);
  const pugi::xml_node encoding =
      PutPart(binding, kEncodingNames, knownEncoding ? values.messageEncoding.c_str() : kOtherEncoding,
              {{"name", knownEncoding ? nullptr : &values.messageEncoding},
               {"addressingVersion", &values.addressingVersion}},
              transport);

  if (values.authenticationMode.empty()) {
    // Credentials of an earlier store must not outlive the mode that needed them.
    binding.remove_child(FindPart(binding, kSecurityNames));
  } else {
    PutPart(binding, kSecurityNames, kSecurity,
            {{"authenticationMode", &values.authenticationMode},
             {"userName", &values.userName},
             {"password", &values.password}},
            encoding);
  }
  return true;
}

std::string RenderDocument(pugi::xml_document& document) {
  PutDeclaration(document);
  StringWriter writer;
  document.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
  return writer.text;
}

}  // namespace plandesk
