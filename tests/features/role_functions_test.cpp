// Role-labelling value functions (codes 280-287): the row against the
// current predicate in the syntactic tree, on one hand-made sentence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "feature_test_util.h"
#include "templates/template_reader.h"

using namespace ktest;

namespace {

// "The cat was chased by dogs ." with rows
//   0 The det->1, 1 cat nsubj:pass->3, 2 was aux:pass->3, 3 chased root,
//   4 by case->5, 5 dogs obl->3, 6 . punct->3
// Columns: 0 word, 5 form, 6 lemma, 7 tag.
Call chased() {
  Call call;
  const std::vector<std::vector<std::string>> toks = {{"The", "the", "DT"},    {"cat", "cat", "NN"},
                                                      {"was", "be", "VBD"},    {"chased", "chase", "VBN"},
                                                      {"by", "by", "IN"},      {"dogs", "dog", "NNS"},
                                                      {".", ".", "."}};
  for (const auto& t : toks) call.rows.push_back({t[0], "_", "_", "_", "_", t[0], t[1], t[2], "_", "_", "_"});
  call.extraArcs = arcList({{1, "det"}, {3, "nsubj:pass"}, {3, "aux:pass"}, {-1, "root"}, {5, "case"},
                            {3, "obl"}, {3, "punct"}});
  return call;
}

std::string val(Call& call, const std::string& function, int position, int offset = 0, int column = 7) {
  _ftnind t = tpl("T", {item(offset, column, stepCodeOf(function), {{stepCodeOf(function), 0}})});
  return call.run(t, position);
}

TEST(RoleFunctionsTest, PathsAndRelationsToThePredicate) {
  Call call = chased();
  call.predicateRows = {3, 5};  // the current predicate is the first: row 3
  const struct {
    int row;
    const char *path, *pos, *relation, *length, *distance;
  } cases[] = {
      {1, "nsubj:pass<", "NN<VBN", "child", "u1d0", "-2"},
      {0, "det<nsubj:pass<", "DT<NN<VBN", "grandchild", "u2d0", "-3"},
      {3, "=", "VBN", "self", "u0d0", "0"},
      {4, "case<obl<", "IN<NNS<VBN", "grandchild", "u2d0", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(val(call, "predpath", c.row), c.path);
    EXPECT_EQ(val(call, "predpathpos", c.row), c.pos);
    EXPECT_EQ(val(call, "predrelation", c.row), c.relation);
    EXPECT_EQ(val(call, "predpathlen", c.row), c.length);
    EXPECT_EQ(val(call, "preddistance", c.row), c.distance);
  }
  EXPECT_EQ(val(call, "predvoice", 0), "passive");
  EXPECT_EQ(val(call, "predframe", 6), "||nsubj:pass|aux:pass|V|obl|punct");
  EXPECT_EQ(val(call, "casemarker", 5, 0, 6), "by");
  EXPECT_EQ(val(call, "casemarker", 1, 0, 6), "-");

  // With the first list done, "dogs" is the predicate: the way goes up and down.
  call.argumentLists.resize(1);
  EXPECT_EQ(val(call, "predpath", 1), "nsubj:pass<obl>");
  EXPECT_EQ(val(call, "predpathpos", 1), "NN<VBN>NNS");
  EXPECT_EQ(val(call, "predrelation", 1), "sibling");
  EXPECT_EQ(val(call, "predrelation", 3), "parent");
  EXPECT_EQ(val(call, "predrelation", 0), "other");
  EXPECT_EQ(val(call, "predvoice", 0), "-");
}

TEST(RoleFunctionsTest, EdgesGiveDefinedValues) {
  Call call = chased();
  call.predicateRows = {3};
  EXPECT_EQ(val(call, "preddistance", 0, -4), "_");  // row outside the sentence
  call.rows.resize(20, call.rows.back());
  call.extraArcs.resize(20, call.extraArcs.back());
  EXPECT_EQ(val(call, "preddistance", 9), "+far");
  EXPECT_EQ(val(call, "preddistance", 14), "+vfar");
  // A cycle (rows 1 and 2 head each other) shares no ancestor with the predicate.
  call.extraArcs[1].head = 2;
  call.extraArcs[2].head = 1;
  EXPECT_EQ(val(call, "predpath", 1), "-");
  EXPECT_EQ(val(call, "predrelation", 1), "-");
  // No current predicate left.
  call.argumentLists.resize(1);
  EXPECT_EQ(val(call, "predpath", 5), "_");
  EXPECT_EQ(val(call, "predframe", 5), "_");
}

TEST(RoleFunctionsTest, TemplateTextReachesTheFunctions) {
  _ft item;
  std::string text = "s0:1.predpath[0,7]";
  parseTemplateLine(text, item);
  EXPECT_EQ(item.valueFunction, 280);
  text = "x.casemarker[0,6]";
  parseTemplateLine(text, item);
  EXPECT_EQ(item.valueFunction, 287);
}

}  // namespace
