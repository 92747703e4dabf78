#include "xml/document.h"

#include <pugixml.hpp>

#include <map>
#include <set>

namespace tickcheck::xml {
namespace {

using pugi::xml_node;

// Elements and label kinds that carry nothing for the check.
const std::set<std::string, std::less<>> kIgnoredInQuery = {"comment", "result", "expect",
                                                            "option"};

class Reader {
 public:
  Reader(std::string_view bytes, const DocumentLines& lines, lang::Diagnostics& diagnostics)
      : bytes_(bytes), lines_(lines), diagnostics_(diagnostics) {}

  std::optional<NtaDocument> Read() {
    pugi::xml_document document;
    // No conversion of the encoding or the line ends: the offsets the parser gives are those of
    // the file's bytes.
    const pugi::xml_parse_result parsed = document.load_buffer(
        bytes_.data(), bytes_.size(), pugi::parse_default & ~pugi::parse_eol, pugi::encoding_utf8);
    if (!parsed) {
      Error(static_cast<size_t>(std::max<ptrdiff_t>(parsed.offset, 0)),
            std::string("malformed XML: ") + parsed.description());
      return std::nullopt;
    }
    const xml_node root = document.document_element();
    if (std::string_view(root.name()) != "nta") {
      Error(Where(root), "the root element is <" + std::string(root.name()) + ">, not <nta>");
      return std::nullopt;
    }
    NtaDocument nta;
    bool system = false;
    Once once(*this, root);
    for (const xml_node child : Elements(root)) {
      const std::string_view name = child.name();
      if (name == "declaration" && once.First(child)) {
        nta.declaration = Text(child);
      } else if (name == "template") {
        nta.templates.push_back(Template(child));
      } else if (name == "system" && once.First(child)) {
        nta.system = Text(child);
        system = true;
      } else if (name == "queries" && once.First(child)) {
        Queries(child, nta.queries);
      } else if (name != "declaration" && name != "system" && name != "queries") {
        Unknown(child, root);
      }
    }
    if (!system)
      Error(Where(root), "<nta> without <system>: the document names no processes");
    if (!diagnostics_.Empty())
      return std::nullopt;
    return nta;
  }

 private:
  // Refuses a second element of one name inside one parent.
  class Once {
   public:
    Once(Reader& reader, xml_node parent) : reader_(reader), parent_(parent) {}
    bool First(xml_node child) {
      if (seen_.insert(child.name()).second)
        return true;
      reader_.Error(reader_.Where(child),
                    "a second <" + std::string(child.name()) + "> in <" + parent_.name() + ">");
      return false;
    }

   private:
    Reader& reader_;
    xml_node parent_;
    std::set<std::string> seen_;
  };

  static std::vector<xml_node> Elements(xml_node parent) {
    std::vector<xml_node> elements;
    for (const xml_node child : parent.children()) {
      if (child.type() == pugi::node_element)
        elements.push_back(child);
    }
    return elements;
  }

  void Error(size_t offset, std::string message) {
    diagnostics_.Error(lines_.At(offset), std::move(message));
  }
  // The offset of the element's `<`.
  size_t Where(xml_node element) const {
    const ptrdiff_t name = element.offset_debug();
    return name > 0 ? static_cast<size_t>(name) - 1 : 0;
  }
  void Unknown(xml_node element, xml_node parent) {
    Error(Where(element),
          "unknown element <" + std::string(element.name()) + "> in <" + parent.name() + ">");
  }

  // The text of an element: its character data and CDATA sections, decoded, in order.
  DocumentText Text(xml_node element) {
    DocumentText text;
    text.element = Where(element);
    for (const xml_node child : element.children()) {
      if (child.type() == pugi::node_element) {
        Error(Where(child), "unexpected element <" + std::string(child.name()) + "> inside <" +
                                element.name() + ">");
        continue;
      }
      const bool cdata = child.type() == pugi::node_cdata;
      if (!cdata && child.type() != pugi::node_pcdata)
        continue;
      const size_t start = static_cast<size_t>(child.offset_debug());
      const size_t end = bytes_.find(cdata ? "]]>" : "<", start);
      AppendDecoded(text, bytes_.substr(start, end - start), start, cdata);
    }
    if (text.offsets.empty())
      text.offsets.push_back(text.element);
    return text;
  }

  static bool Blank(const DocumentText& text) {
    return text.text.find_first_not_of(" \t\r\n") == std::string::npos;
  }

  NtaTemplate Template(xml_node element) {
    NtaTemplate result;
    result.element = Where(element);
    bool named = false, initialised = false;
    Once once(*this, element);
    for (const xml_node child : Elements(element)) {
      const std::string_view name = child.name();
      if (name == "name" && once.First(child)) {
        result.name = Text(child);
        named = true;
      } else if (name == "parameter" && once.First(child)) {
        result.parameter = Text(child);
      } else if (name == "declaration" && once.First(child)) {
        result.declaration = Text(child);
      } else if (name == "location") {
        result.locations.push_back(Location(child));
      } else if (name == "init" && once.First(child)) {
        result.init = child.attribute("ref").value();
        result.initElement = Where(child);
        initialised = true;
      } else if (name == "transition") {
        result.transitions.push_back(Transition(child));
      } else if (name == "branchpoint") {
        Error(Where(child), "<branchpoint>: probabilistic branches are not supported");
      } else if (name == "instantiation") {
        if (!Blank(Text(child)))
          Error(Where(child), "<instantiation> with a text is not supported");
      } else if (name != "name" && name != "parameter" && name != "declaration" && name != "init") {
        Unknown(child, element);
      }
    }
    if (!named) {
      Error(result.element, "<template> without <name>");
      return result;
    }
    const std::string shown = "template " + Trimmed(result.name.text);
    std::map<std::string, size_t> ids;
    for (const NtaLocation& location : result.locations) {
      if (!ids.emplace(location.id, location.element).second && !location.id.empty())
        Error(location.element, shown + ": a second location with id \"" + location.id + "\"");
    }
    if (!initialised)
      Error(result.element, shown + ": no <init> names the initial location");
    else if (ids.count(result.init) == 0)
      Error(result.initElement, shown + ": <init> refers to no location: \"" + result.init + "\"");
    for (const NtaTransition& transition : result.transitions) {
      for (const auto& [id, where, role] :
           {std::tuple{transition.source, transition.sourceElement, "source"},
            {transition.target, transition.targetElement, "target"}}) {
        if (where != 0 && ids.count(id) == 0)
          Error(where, shown + ": the " + role + " of a transition is no location: \"" + id + "\"");
      }
    }
    return result;
  }

  static std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
      return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  }

  NtaLocation Location(xml_node element) {
    NtaLocation location;
    location.element = Where(element);
    location.id = element.attribute("id").value();
    if (location.id.empty())
      Error(location.element, "<location> without an id");
    Once once(*this, element);
    for (const xml_node child : Elements(element)) {
      const std::string_view name = child.name();
      if (name == "name" && once.First(child)) {
        location.name = Text(child);
      } else if (name == "label") {
        const std::string kind = child.attribute("kind").value();
        if (kind == "invariant" && once.First(child)) {
          location.invariant = Text(child);
        } else if (kind == "exponentialrate") {
          Error(Where(child), "label kind \"exponentialrate\": rates are not supported");
        } else if (kind != "comments" && kind != "invariant") {
          Error(Where(child), "unknown label kind \"" + kind + "\" in <location>");
        }
      } else if (name == "urgent" && once.First(child)) {
        location.urgent = true;
      } else if (name == "committed" && once.First(child)) {
        location.committed = true;
      } else if (name != "name" && name != "urgent" && name != "committed") {
        Unknown(child, element);
      }
    }
    if (location.urgent && location.committed)
      Error(location.element, "a location is both <urgent> and <committed>");
    return location;
  }

  NtaTransition Transition(xml_node element) {
    NtaTransition transition;
    transition.element = Where(element);
    Once once(*this, element);
    std::set<std::string> kinds;
    for (const xml_node child : Elements(element)) {
      const std::string_view name = child.name();
      if (name == "source" && once.First(child)) {
        transition.source = child.attribute("ref").value();
        transition.sourceElement = Where(child);
      } else if (name == "target" && once.First(child)) {
        transition.target = child.attribute("ref").value();
        transition.targetElement = Where(child);
      } else if (name == "label") {
        Label(child, transition, kinds);
      } else if (name != "nail" && name != "source" && name != "target") {
        Unknown(child, element);
      }
    }
    if (transition.sourceElement == 0)
      Error(transition.element, "<transition> without <source>");
    if (transition.targetElement == 0)
      Error(transition.element, "<transition> without <target>");
    return transition;
  }

  void Label(xml_node label, NtaTransition& transition, std::set<std::string>& kinds) {
    const std::string kind = label.attribute("kind").value();
    std::optional<DocumentText>* slot = nullptr;
    if (kind == "select")
      slot = &transition.select;
    else if (kind == "guard")
      slot = &transition.guard;
    else if (kind == "synchronisation")
      slot = &transition.sync;
    else if (kind == "assignment")
      slot = &transition.assignment;
    if (slot == nullptr) {
      if (kind == "probability")
        Error(Where(label), "label kind \"probability\": probabilities are not supported");
      else if (kind != "comments")
        Error(Where(label), "unknown label kind \"" + kind + "\" in <transition>");
      return;
    }
    if (!kinds.insert(kind).second) {
      Error(Where(label), "a second label of kind \"" + kind + "\" in <transition>");
      return;
    }
    *slot = Text(label);
  }

  void Queries(xml_node element, std::vector<DocumentText>& queries) {
    for (const xml_node query : Elements(element)) {
      if (std::string_view(query.name()) != "query") {
        Unknown(query, element);
        continue;
      }
      Once once(*this, query);
      for (const xml_node child : Elements(query)) {
        if (std::string_view(child.name()) == "formula") {
          if (!once.First(child))
            continue;
          DocumentText formula = Text(child);
          if (!Blank(formula))
            queries.push_back(std::move(formula));
        } else if (kIgnoredInQuery.count(child.name()) == 0) {
          Unknown(child, query);
        }
      }
    }
  }

  std::string_view bytes_;
  const DocumentLines& lines_;
  lang::Diagnostics& diagnostics_;
};

}  // namespace

std::optional<NtaDocument> ReadNtaDocument(std::string_view bytes, const DocumentLines& lines,
                                           lang::Diagnostics& diagnostics) {
  return Reader(bytes, lines, diagnostics).Read();
}

}  // namespace tickcheck::xml
