// The display-mode fixers: texts without a mode of their own take the setting in force, inside
// composites too; texts with a mode keep it.
#include <gtest/gtest.h>

#include <omf/presentation/ModeFixer.h>

using namespace omf;

namespace {

TEST(ModeFixer, FillsUnsetModesAndLeavesSetOnes) {
  OmCellText::ModeType variables = OmCellText::kModeBoth, values = OmCellText::kModeNames;
  OmModeFixer fixer(&variables, &values);
  OmVariable unset("sex", "Gender", OmCellText::kModeNotSet);
  OmVariable labels("sex", "Gender", OmCellText::kModeLabels);
  OmNumDataValue value("sex", 1, MakeFormat(4, 5, 0), "Male", OmCellText::kModeNotSet);
  OmStringDataValue text("city", "Oslo", MakeFormat(4, 1, 0), "Capital", OmCellText::kModeNotSet);
  for (OmCellText* t : std::initializer_list<OmCellText*>{&unset, &labels, &value, &text})
    t->Accept(fixer);
  EXPECT_EQ(unset.Mode(), OmCellText::kModeBoth);
  EXPECT_EQ(labels.Mode(), OmCellText::kModeLabels);
  EXPECT_EQ(value.Mode(), OmCellText::kModeNames);
  EXPECT_EQ(text.Mode(), OmCellText::kModeNames);
  // The fixer reads the setting in force when it fixes a text: a changed setting applies to texts fixed
  // afterwards, and texts fixed before keep the mode they were given.
  variables = OmCellText::kModeNames;
  values = OmCellText::kModeLabels;
  OmVariable later("age", "Age", OmCellText::kModeNotSet);
  OmNumDataValue laterValue("sex", 2, MakeFormat(4, 5, 0), "Female", OmCellText::kModeNotSet);
  later.Accept(fixer);
  laterValue.Accept(fixer);
  EXPECT_EQ(later.Mode(), OmCellText::kModeNames);
  EXPECT_EQ(laterValue.Mode(), OmCellText::kModeLabels);
  EXPECT_EQ(unset.Mode(), OmCellText::kModeBoth);
  EXPECT_EQ(value.Mode(), OmCellText::kModeNames);
}

TEST(ModeFixer, DescendsIntoCompositesAndRepeatLists) {
  OmCellText::ModeType variables = OmCellText::kModeNames, values = OmCellText::kModeBoth;
  OmModeFixer fixer(&variables, &values);
  OmComposite c(OmStringCell("[:^1=^2,:]1\\:Listwise N=^2"));
  c.BeginRepeatList();
  c.Add(OmVariable("sex", "Gender", OmCellText::kModeNotSet));
  c.Add(OmNumDataValue("sex", 1, MakeFormat(4, 5, 0), "Male", OmCellText::kModeNotSet));
  c.EndRepeatList();
  c.Add(OmNumber(45, MakeFormat(4, 5, 0)));
  c.Accept(fixer);
  EXPECT_EQ(c.Filled(), "sex=1 Male:Listwise N=45");
}

} // namespace
