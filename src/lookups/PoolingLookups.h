#pragma once
// Lookups that the multiple-imputation and bootstrap poolers share: they recognise the imputation and
// bootstrap split dimensions of a finished table, find dimensions and categories by their labels, add
// categories and footnotes, and move correlations to and from the Fisher z scale.
//
// Labels compare as texts do everywhere in the output model: two texts are equal when their length
// queries agree and Compare returns 0. The poolers run before translation, so composites still read as
// their raw templates ("^1% Confidence Interval") when a lookup compares label texts.
//
// Nothing here throws: "not found" is -1.
#include <string>
#include <vector>

#include <omf/model/PivotTable.h>

namespace omf {

// ---- imputation and bootstrap split dimensions ---------------------------------------------------------

// The first dimension labelled by a variable named "Imputation_" (in any case), or -1.
int FindImputationDimension(const OmPivotTable& table);

// The subscript of the category of dimension d that holds imputation 0 (the original data), searching
// groups depth first, or -1.
int FindOriginalDataCategory(const OmPivotTable& table, int d);

// The subscript of the top-level category "Pooled" of dimension d; the category is appended when the
// dimension has none.
int FindOrAddPooledCategory(OmPivotTable& table, int d);

// The first dimension labelled by the variable "$bootstrap_split", or -1.
int FindBootstrapDimension(const OmPivotTable& table);

// The bootstrap sample number that a category label of the bootstrap split dimension carries, or -1.
// String labels carry only one digit after "$bootstrap_split"; composites are searched through their
// arguments.
int BootstrapSampleNumber(const OmCellText& label);

// ---- dimensions and categories -------------------------------------------------------------------------

// The first dimension (in index order) whose label equals the text, or -1.
int FindDimensionByLabel(const OmPivotTable& table, const OmCellText& label);

// The subscript of the first category (leaf) below the node whose label equals the text, depth first,
// or -1. Groups are searched, never matched.
int FindCategory(const OmDimensionNode& node, const OmCellText& label);

// The subscript of the category labelled by the (translatable) text anywhere in the dimension; a
// top-level category with the next free subscript is appended when there is none.
int FindOrAddCategory(OmDimension& dimension, const std::string& label);
int FindOrAddCategory(OmPivotTable& table, int d, const std::string& label);

// The subscript of the category named by a path of labels separated by '#' ("N#Valid"), or -1. Labels
// compare exactly as shown. Groups that the path does not name may stand between the named ones, so
// "Valid" alone also finds N#Valid; the last element names a category, never a group.
int FindCategoryByPath(const std::string& path, const OmDimension& dimension);

// Finds the first node of the dimension (depth first, a node before its children) whose label reads
// exactly as `label`; true when it has exactly two children, whose subscripts then go to `first` and
// `second` (both -1 otherwise). `level` is the confidence level as a fraction: 0.95, unless the node's
// label is a composite whose one argument is a number, which gives the level (a percentage when 1 or
// more). The level is set even when the result is false.
bool FindConfidenceInterval(const OmDimension& dimension, const std::string& label, int& second, int& first,
                            double& level);

// ---- footnotes -----------------------------------------------------------------------------------------

// The index of the table's footnote whose text equals the text, or -1.
int FindFootnote(const OmPivotTable& table, const OmCellText& text);

// Adds a footnote with the (translatable) text to the table, reusing an equal one, marks the cell
// with it and returns its index.
int AddCellFootnote(const std::string& text, OmPivotTable& table, OmCellText& cell);

// Footnotes the cell at the subscripts with the text of a pooling error code; an empty cell becomes
// system-missing first.
void AddPoolingErrorFootnote(OmPivotTable& table, const std::vector<int>& at, long code);

// Marks the cell at the subscripts with the footnote; an empty cell becomes system-missing first.
void EnsureCellFootnote(OmPivotTable& table, const std::vector<int>& at, int index);

// ---- estimates -----------------------------------------------------------------------------------------

// Replaces each value v by its Fisher z, ½·ln((1+v)/(1−v)), in order. A value outside the open
// interval (−1, 1) makes the result false and ends the pass: it is transformed itself (±1 become
// infinite), the values after it are left as they were.
bool FisherZ(std::vector<double>& values);

// Replaces each value z by (e^{2z} − 1)/(e^{2z} + 1), which is 1 for z = +∞.
void InverseFisherZ(std::vector<double>& values);

// The mean of the values, summed from left to right; system-missing for no values.
double MeanOf(const std::vector<double>& values);

} // namespace omf
