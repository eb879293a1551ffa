#include <omf/model/CellText.h>

#include <gtest/gtest.h>

#include <functional>
#include <variant>

using namespace omf;

namespace {

constexpr std::uint32_t kInteger = MakeFormat(14, 5, 0);
constexpr std::uint32_t kOneDecimal = MakeFormat(5, 5, 1);

// An argument for Make(): a text, or a repeat list of texts and further lists.
struct Arg {
  std::variant<std::shared_ptr<OmCellText>, std::vector<Arg>> value;
  Arg(double number, std::uint32_t format = kInteger) : value(std::make_shared<OmNumber>(number, format)) {}
  Arg(const char* text) : value(std::make_shared<OmStringCell>(text)) {}
  Arg(std::shared_ptr<OmCellText> text) : value(std::move(text)) {}
  Arg(std::initializer_list<Arg> list) : value(std::vector<Arg>(list)) {}
  Arg(std::vector<Arg> list) : value(std::move(list)) {}
};

void AddAll(OmComposite& c, const std::vector<Arg>& args) {
  for (const Arg& a : args) {
    if (const auto* text = std::get_if<std::shared_ptr<OmCellText>>(&a.value)) {
      c.Add(**text);
    } else {
      c.BeginRepeatList();
      AddAll(c, std::get<std::vector<Arg>>(a.value));
      c.EndRepeatList();
    }
  }
}

std::unique_ptr<OmComposite> Make(const std::string& templ, const std::vector<Arg>& args = {}) {
  auto c = std::make_unique<OmComposite>(OmStringCell(templ, nullptr, true));
  AddAll(*c, args);
  c->End();
  return c;
}

std::shared_ptr<OmCellText> Variable(const char* name) {
  return std::make_shared<OmVariable>(name, "label of " + std::string(name), OmCellText::kModeNames);
}

std::shared_ptr<OmCellText> Value(const char* variable, double value) {
  return std::make_shared<OmNumDataValue>(variable, value, MakeFormat(8, 5, 0), "some label",
                                          OmCellText::kModeNames);
}

// The argument tree as text: texts as they read, repeat lists in brackets.
std::string Shape(const std::vector<OmComposite::Node>& nodes) {
  std::string out;
  for (const OmComposite::Node& n : nodes)
    out += (out.empty() ? "" : " ") + (n.text ? n.text->AsString() : "[" + Shape(n.children) + "]");
  return out;
}

struct FillCase {
  const char* templ;
  std::vector<Arg> args;
  const char* filled;
};

void ExpectFilled(const std::vector<FillCase>& cases) {
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.templ);
    auto composite = Make(c.templ, c.args);
    EXPECT_EQ(composite->AsString(), c.templ); // raw until substituted
    EXPECT_EQ(composite->Filled(), c.filled);
    EXPECT_FALSE(composite->IsSubstituted());
    composite->Substitute();
    EXPECT_TRUE(composite->IsSubstituted());
    EXPECT_EQ(composite->AsString(), c.filled);
  }
}

TEST(Composite, TemplatesOfTheSystem) {
  ExpectFilled({
      {"^1% Confidence Interval", {95.0}, "95% Confidence Interval"},
      {"^1\\% Confidence Interval of the Difference", {95.0}, "95% Confidence Interval of the Difference"},
      {"BCa ^1% Confidence Interval", {Arg(97.5, kOneDecimal)}, "BCa 97.5% Confidence Interval"},
      {"Bootstrap for ^1", {"Frequencies"}, "Bootstrap for Frequencies"},
      {"Unless otherwise noted, bootstrap results are based on ^1 ^2",
       {1000.0, "bootstrap samples"},
       "Unless otherwise noted, bootstrap results are based on 1000 bootstrap samples"},
      {"Based on ^1 samples", {998.0}, "Based on 998 samples"}, // numbers are not padded to their width
      {"^1% coverage needs ^2 samples...", {95.0, 1000.0}, "95% coverage needs 1000 samples..."},
      {"^1, ^2", {3.0, Arg(2.5, MakeFormat(10, 5, 3))}, "3, 2.500"},
      {"[:^1=^2,:]1\\:Listwise N=^2",
       {{Variable("sex"), Value("sex", 1), Variable("age"), Value("age", 3)}, 45.0},
       "sex=1,age=3:Listwise N=45"},
      {"[:^1=^2,:]1\\:Listwise N=^2", {{Variable("sex"), Value("sex", 2)}, 12.0}, "sex=2:Listwise N=12"},
      {"[:^1=^2,:]1\\:Listwise N=^2", {Arg(std::vector<Arg>{}), 7.0}, ":Listwise N=7"}, // an empty list
  });
}

TEST(Composite, PlaceholdersAndEscapes) {
  ExpectFilled({
      {"100\\% sure", {}, "100% sure"},
      {"\\^1 is ^1", {"x"}, "^1 is x"},
      {"a\\\\b", {}, "a\\b"},
      {"\\:\\[\\]", {}, ":[]"},
      {"^2^1", {"a", "b"}, "ba"},
      {"^10|^1", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}, "ten|1"},
      {"", {"unused"}, ""},
      {"no placeholders", {"unused"}, "no placeholders"},
      {"caf\xc3\xa9 ^1", {"\xc3\xa9t\xc3\xa9"}, "caf\xc3\xa9 \xc3\xa9t\xc3\xa9"},
  });
}

TEST(Composite, RepeatLists) {
  ExpectFilled({
      // groups as large as the largest index in the body; the text after it only separates
      {"[:^1:]1", {{"a", "b", "c"}}, "abc"},
      {"[:^1, :]1", {{"a", "b", "c"}}, "a, b, c"},
      {"[:^2-^1 :]1", {{"a", "b", "c", "d"}}, "b-a d-c"},
      {"[:^2-^1,:]1", {{"a", "b", "c"}}, "b-a,-c"}, // a partial last group leaves its gaps empty
      {"[:^1\\:,:]1", {{"a", "b"}}, "a:,b"},
      {"[:-:]1", {{"a", "b", "c"}}, "---"}, // a body without placeholders is written once per item
      {"[::]1", {{"a", "b"}}, ""},
      {"<[;^1;]2>", {"x", {"a", "b"}}, "<ab>"},
      {"[|^1|]1 and [|^1|]1", {{"a", "b"}}, "ab and ab"},
      {"[x^1/x]1", {{"a", "b"}}, "a/b"}, // any delimiter
      // nested lists use another delimiter
      {"[:^1=[;^1|;]2, :]1", {{"a", {"1", "2"}, "b", {"3"}}}, "a=1|2, b=3"},
      {"[:[;^1;]1/:]1", {{{"a", "b"}, {"c"}}}, "ab/c"},
  });
}

TEST(Composite, MalformedTemplatesWriteTheCharactersOrNothing) {
  ExpectFilled({
      {"^", {"a"}, "^"},
      {"x^y", {"a"}, "x^y"},
      {"^^1", {"a"}, "^a"},
      {"end\\", {}, "end\\"},
      {"^0", {"a"}, ""},
      {"(^3)", {"a", "b"}, "()"},
      {"a^12b", {"a", "b"}, "ab"},
      {"^99999999999999999999999999", {"a"}, ""},
      {"[:^1", {"x"}, "[:x"},
      {"[", {}, "["},
      {"[:]", {}, "[:]"},
      {"[:^1:]", {"x"}, "[:x:]"}, // no index after the body
      {"[:^1:]x", {"x"}, "[:x:]x"},
      {"[\\:^1\\:]1", {"x"}, "[:x:]1"}, // "\" is no delimiter
      {"[:^1:]2", {{"a"}}, ""},         // no such argument
      {"[:^1:]1", {"text"}, ""},        // not a repeat list
      {"[:^1:]99999999999999999999", {{"a"}}, ""},
      {"[:^1:]1 ^1", {{"a"}}, "a "}, // a list named by a plain placeholder writes nothing
      {"label [name]", {}, "label [name]"},
      {"[:a [;b:]1;]2", {{"p", "q"}, {"r"}}, "a [;ba [;b;]2"}, // an inner "[" does not hide the outer close
      {"[:[:^1:]1:]1", {{{"a"}}}, "[::]1"},                    // a nested body closes at the first ":]"
      {"]]:]1", {}, "]]:]1"},
  });
}

TEST(Composite, RepeatListsBuildATree) {
  OmComposite c(OmStringCell("t"));
  c.Add(OmStringCell("a"));
  c.BeginRepeatList();
  c.Add(OmStringCell("b"));
  c.BeginRepeatList();
  c.Add(OmStringCell("c"));
  c.EndRepeatList();
  c.Add(OmStringCell("d"));
  c.EndRepeatList();
  c.EndRepeatList(); // nothing open: ignored
  c.Add(OmStringCell("e"));
  c.BeginRepeatList();
  c.BeginRepeatList();
  c.End(); // closes both
  c.Add(OmStringCell("f"));

  EXPECT_EQ(Shape(c.Arguments()), "a [b [c] d] e [[]] f");
  std::vector<std::string> leaves;
  for (const OmCellText* t : c.Leaves())
    leaves.push_back(t->AsString());
  EXPECT_EQ(leaves, (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
}

TEST(Composite, UnbalancedListOpeningsStayShallow) {
  OmComposite c(OmStringCell("[:^1:]1"));
  for (int i = 0; i < 100000; ++i)
    c.BeginRepeatList();
  c.Add(OmStringCell("deep"));
  EXPECT_EQ(c.Leaves().size(), 1u);
  std::size_t depth = 0;
  for (const OmComposite::Node* n = &c.Arguments()[0]; !n->children.empty(); n = &n->children.back())
    ++depth;
  EXPECT_LE(depth, 64u);
  EXPECT_EQ(c.Filled(), "");
  for (int i = 0; i < 100000; ++i)
    c.EndRepeatList();
  c.Add(OmStringCell("top"));
  EXPECT_EQ(c.Arguments().size(), 2u);
  const OmCellTextPtr copy = CloneText(c);
  EXPECT_TRUE(copy->Equals(c));
}

TEST(Composite, AdditionsPastALimitAreRefusedAndChangeNothing) {
  const auto same = [](const OmComposite& a, const OmComposite& b) {
    return a.Equals(b) && a.TextCount() == b.TextCount() && a.Nesting() == b.Nesting() &&
           a.FilledLengthBound() == b.FilledLengthBound();
  };
  const auto refused = [&](OmComposite& c, const std::function<void()>& add, const std::string& part) {
    SCOPED_TRACE(part);
    const OmCellTextPtr before = CloneText(c);
    try {
      add();
      ADD_FAILURE() << "not refused";
    } catch (const OmLimitError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
    EXPECT_TRUE(same(c, static_cast<const OmComposite&>(*before)));
  };

  // Texts: repeat lists count as well as texts.
  OmComposite many(OmStringCell("[:^1:]1"));
  many.BeginRepeatList();
  while (many.TextCount() < OmComposite::kMaxTexts)
    many.Add(OmStringCell("x"));
  refused(
      many, [&] { many.Add(OmStringCell("x")); }, "more than 100000 texts");
  refused(
      many, [&] { many.BeginRepeatList(); }, "more than 100000 texts");
  many.End();
  EXPECT_EQ(many.Filled(), std::string(OmComposite::kMaxTexts - 2, 'x'));

  // Nesting, through arguments and through the template.
  auto deep = Make("(^1)", {"x"});
  while (deep->Nesting() < OmComposite::kMaxNesting) {
    auto next = Make("(^1)");
    next->Add(*deep);
    deep = std::move(next);
  }
  OmComposite outer(OmStringCell("^1"));
  refused(
      outer, [&] { outer.Add(*deep); }, "nest deeper than 100 levels");
  EXPECT_THROW(OmComposite{static_cast<const OmCellText&>(*deep)}, OmLimitError);
  EXPECT_EQ(deep->Filled(),
            std::string(OmComposite::kMaxNesting, '(') + "x" + std::string(OmComposite::kMaxNesting, ')'));

  // The filled length: a placeholder writes one top-level argument, a repeat body every list item.
  const std::string half(OmComposite::kMaxFilledLength / 2, 'y');
  OmComposite twice(OmStringCell("^1^1"));
  refused(
      twice, [&] { twice.Add(OmStringCell(half)); }, "could grow past 1048576 bytes");
  twice.Add(OmStringCell(half.substr(2)));
  EXPECT_EQ(twice.Filled().size(), OmComposite::kMaxFilledLength - 4);
  OmComposite listed(OmStringCell("[:^1, :]1"));
  listed.BeginRepeatList();
  listed.Add(OmStringCell(half));
  refused(
      listed, [&] { listed.Add(OmStringCell(half)); }, "could grow past");
  listed.Add(OmStringCell("z"));
  EXPECT_EQ(listed.Filled(), half + ", z");

  // Composites that the template never names count all the same: translation fills every one.
  const std::string eighth(OmComposite::kMaxFilledLength / 8, 'b');
  auto quarter = Make("^1^1", {Arg(eighth.c_str())});
  OmComposite holder(OmStringCell("no placeholders"));
  for (int i = 0; i < 3; ++i)
    holder.Add(*quarter);
  refused(
      holder, [&] { holder.Add(*quarter); }, "and those of the composites inside it could grow past");
  EXPECT_EQ(holder.Filled(), "no placeholders");
}

TEST(Composite, AFillNeverPassesTheLimit) {
  // A template lengthened after the arguments were measured (as a translation may) is filled up to the
  // limit, and a character cut in two there is left out.
  std::string accented;
  for (std::size_t i = 0; i < OmComposite::kMaxFilledLength / 6; ++i)
    accented += "\xc3\xa9";
  auto c = Make("^1", {Arg(accented.c_str())});
  static_cast<OmStringCell&>(c->Template()).SetText("-^1^1^1^1");
  const std::string filled = c->Filled();
  EXPECT_LE(filled.size(), OmComposite::kMaxFilledLength);
  EXPECT_GE(filled.size(), OmComposite::kMaxFilledLength - 1);
  EXPECT_EQ(filled.size() % 2, 1u); // "-" and whole two-byte characters
  EXPECT_EQ(filled.substr(filled.size() - 2), "\xc3\xa9");

  // A chain of composites each naming the one below twice fills each one once: with the templates of
  // sixty levels lengthened this way, filling them every time they are named would never end.
  auto chain = Make("^1", {"x"});
  for (int level = 0; level < 60; ++level) {
    auto next = Make("^1");
    next->Add(*chain);
    chain = std::move(next);
  }
  for (OmComposite* at = chain.get();;) {
    static_cast<OmStringCell&>(at->Template()).SetText("^1^1");
    OmCellText& below = *at->Arguments()[0].text;
    if (below.OrderCode() != OmCellText::kOrderComposite) break;
    at = &static_cast<OmComposite&>(below);
  }
  EXPECT_EQ(chain->Filled(), std::string(OmComposite::kMaxFilledLength, 'x'));
  EXPECT_EQ(chain->AsEngString(), std::string(1, 'x')); // untranslated: every template still "^1"
  chain->Substitute();
  EXPECT_EQ(chain->AsString().size(), OmComposite::kMaxFilledLength);
}

TEST(Composite, SubstituteRemembersFilledComputesAgain) {
  auto c = Make("^1% Confidence Interval", {95.0});
  c->Substitute();
  auto& templ = static_cast<OmStringCell&>(c->Template());
  templ.SetText("^1% Konfidenzintervall");
  EXPECT_EQ(c->AsString(), "95% Confidence Interval"); // kept until substituted again
  EXPECT_EQ(c->Filled(), "95% Konfidenzintervall");
  c->Substitute(nullptr, true);
  EXPECT_EQ(c->AsString(), "95% Konfidenzintervall");
  EXPECT_EQ(c->AsEngString(), "95% Confidence Interval");
}

TEST(Composite, EnglishTextFillsFromUntranslatedTexts) {
  auto c = Make("Bootstrap for ^1", {"Frequencies"});
  static_cast<OmStringCell&>(c->Template()).SetText("Bootstrap f\xc3\xbcr ^1");
  static_cast<OmStringCell&>(*c->Arguments()[0].text).SetText("H\xc3\xa4ufigkeiten");
  EXPECT_EQ(c->AsEngString(), "Bootstrap for Frequencies"); // not substituted: still complete
  c->Substitute();
  EXPECT_EQ(c->AsString(), "Bootstrap f\xc3\xbcr H\xc3\xa4ufigkeiten");
  EXPECT_EQ(c->AsEngString(), "Bootstrap for Frequencies");
}

TEST(Composite, NestedCompositesShowFilled) {
  auto inner = Make("^1% Confidence Interval", {95.0});
  auto outer =
      Make("BCa: ^1", {std::shared_ptr<OmCellText>(CloneText(*inner).release(), OmCellTextDeleter())});
  EXPECT_EQ(outer->Filled(), "BCa: 95% Confidence Interval");
  EXPECT_EQ(outer->AsEngString(), "BCa: 95% Confidence Interval");
  // A template that is itself a composite reads as that composite's text.
  OmComposite onComposite(static_cast<const OmCellText&>(*inner));
  EXPECT_EQ(onComposite.AsString(), "^1% Confidence Interval");
}

TEST(Composite, CompareByTemplateThenArguments) {
  const struct {
    std::unique_ptr<OmComposite> a;
    std::unique_ptr<OmComposite> b;
    short expected;
  } cases[] = {
      {Make("^1 a", {1.0}), Make("^1 b", {1.0}), -1},
      {Make("^1 b", {1.0}), Make("^1 a", {1.0, 2.0}), 1}, // template first
      {Make("^1", {1.0}), Make("^1", {1.0, 2.0}), -1},    // then the argument count
      {Make("^1", {1.0, 3.0}), Make("^1", {1.0, 2.0}), 1},
      {Make("^1", {"x"}), Make("^1", {1.0}), 1},    // arguments of different kinds order by kind
      {Make("^1", {"x"}), Make("^1", {{"x"}}), -1}, // a text before a list
      {Make("^1", {{"x"}}), Make("^1", {{"x", "y"}}), -1},
      {Make("^1", {{"x", "z"}}), Make("^1", {{"x", "y"}}), 1},
      {Make("^1", {{"x", "y"}, 2.0}), Make("^1", {{"x", "y"}, 2.0}), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a->AsString());
    EXPECT_EQ(c.a->Compare(*c.b), c.expected);
    EXPECT_EQ(c.b->Compare(*c.a), -c.expected);
    EXPECT_EQ(c.a->Equals(*c.b), c.expected == 0);
  }
  // Substitution does not take part in comparison.
  auto substituted = Make("^1", {1.0});
  substituted->Substitute();
  EXPECT_TRUE(substituted->Equals(*Make("^1", {1.0})));
}

} // namespace
