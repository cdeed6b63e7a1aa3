// Persistent objects held by reference-counted handles: storing each object once, loading
// shared references as one object, the registry, failed loads, and the handles themselves.
#include <core/archive.h>
#include <core/exception.h>
#include <core/handle.h>
#include <core/persistent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"

namespace persistence_test {

// Live-object bookkeeping of the test classes.
struct Counts {
  static inline int constructed = 0;
  static inline int destroyed = 0;
  static int live() { return constructed - destroyed; }
};

// A small persistent node: a value and two optional children.
class Node : public virtual ccPersistent, public virtual ccRepBase {
 public:
  Node() { ++Counts::constructed; }
  explicit Node(int v) : value_(v) { ++Counts::constructed; }
  Node(const Node& o) : ccPersistent(o), ccRepBase(o), value_(o.value_) { ++Counts::constructed; }
  Node& operator=(const Node&) = default;
  ~Node() override { ++Counts::destroyed; }

  int value() const { return value_; }
  void value(int v) {
    mutating();
    value_ = v;
  }
  ccPtrHandle<Node> left, right;

  CC_PERSISTENT_DISPATCH(Node, 0)
  static ccPersistent* make() { return new Node; }

  // The source line of the version check, recorded when it throws.
  static inline long versionCheckLine = 0;

 private:
  void serialize_(ccArchive& ar, unsigned char version) {
    if (version != 0) throw ccArchive::UnknownVersion("test/thing", versionCheckLine = __LINE__);
    ar || value_ || left || right;
  }
  int value_ = 0;
};

// Another persistent class, unrelated to Node.
class Other : public virtual ccPersistent, public virtual ccRepBase {
 public:
  Other() { ++Counts::constructed; }
  ~Other() override { ++Counts::destroyed; }
  CC_PERSISTENT_DISPATCH(Other, 0)
  static ccPersistent* make() { return new Other; }
  short tag = 0;

 private:
  void serialize_(ccArchive& ar, unsigned char version) {
    if (version != 0) throw ccArchive::UnknownVersion("test/other", __LINE__);
    ar || tag;
  }
};

// Persistent but without a share count (as ccGraphicProps): it archives inside its owner, and
// cannot be loaded through a handle.
class Unshared : public virtual ccPersistent {
 public:
  Unshared() { ++Counts::constructed; }
  ~Unshared() override { ++Counts::destroyed; }
  CC_PERSISTENT_DISPATCH(Unshared, 0)
  static ccPersistent* make() { return new Unshared; }

 private:
  void serialize_(ccArchive&, unsigned char) {}
};

const cc_Instantiator registerNode(typeid(Node), &Node::make);
const cc_Instantiator registerOther(typeid(Other), &Other::make);
const cc_Instantiator registerUnshared(typeid(Unshared), &Unshared::make);

const std::string kNodeName = "persistence_test::Node";
const std::string kOtherName = "persistence_test::Other";

// Tag 1, the class name, then a Node of version 0 with the given value; children follow.
Bytes newNode(int value) {
  Bytes b{0x01};
  putString(b, kNodeName);
  b.push_back(0x00);
  putU32(b, static_cast<std::uint32_t>(value));
  return b;
}
// A later Node: its class, met first, has class tag 0 (the byte 4 + 0).
Bytes laterNode(int value) {
  Bytes b{0x04, 0x00};
  putU32(b, static_cast<std::uint32_t>(value));
  return b;
}
Bytes backRef(std::uint32_t index) {
  Bytes b{0x02};
  putU32(b, index);
  return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
const Bytes kNull{0x00};

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override { liveAtStart_ = Counts::live(); }
  void TearDown() override {
    EXPECT_EQ(Counts::live(), liveAtStart_) << "test objects leaked or were deleted twice";
  }
  int liveAtStart_ = 0;
};

// ---------------------------------------------------------------------------------------
// Registry

TEST_F(PersistenceTest, ClassesRegisterUnderTheirQualifiedNames) {
  EXPECT_TRUE(cc_Instantiator::isRegistered(kNodeName));
  ASSERT_NE(cc_Instantiator::nameOf(typeid(Node)), nullptr);
  EXPECT_EQ(*cc_Instantiator::nameOf(typeid(Node)), kNodeName);
  EXPECT_EQ(cfClassName(typeid(Other)), kOtherName);
  EXPECT_FALSE(cc_Instantiator::isRegistered("persistence_test::Nobody"));
  EXPECT_EQ(cc_Instantiator::make("persistence_test::Nobody"), nullptr);

  ccPtrHandle<ccRepBase> made(dynamic_cast<ccRepBase*>(cc_Instantiator::make(kNodeName)));
  ASSERT_TRUE(made);
  EXPECT_EQ(typeid(*made), typeid(Node));

  const auto names = cc_Instantiator::registeredNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_NE(std::find(names.begin(), names.end(), kOtherName), names.end());
}

// ---------------------------------------------------------------------------------------
// Storing and loading pointers

TEST_F(PersistenceTest, NullHandleIsTagZero) {
  ccPtrHandle<Node> h;
  ccArchive out;
  out || h;
  EXPECT_EQ(out.data(), kNull);

  ccArchive in(out.data());
  ccPtrHandle<Node> back(new Node(3));
  in || back;
  EXPECT_TRUE(back.isNull());
  EXPECT_TRUE(in.atEnd());
}

TEST_F(PersistenceTest, OneObjectIsTagNameVersionFields) {
  ccPtrHandle<Node> h(new Node(7));
  ccArchive out;
  out || h;
  const Bytes expected = cat({newNode(7), kNull, kNull});
  EXPECT_EQ(out.data(), expected);

  ccPtrHandle<Node> back;
  {
    ccArchive in(expected);
    in || back;
    EXPECT_TRUE(in.atEnd());
  }
  ASSERT_TRUE(back);
  EXPECT_NE(back.rep(), h.rep());
  EXPECT_EQ(back->value(), 7);
  EXPECT_TRUE(back->left.isNull());
  EXPECT_TRUE(back->right.isNull());
  EXPECT_EQ(back->refCount(), 1);
}

TEST_F(PersistenceTest, SameObjectTwiceIsStoredOnceThenReferencedByIndex) {
  ccPtrHandle<Node> h(new Node(5));
  ccPtrHandle<Node> alias = h;
  ccArchive out;
  out || h || alias;
  EXPECT_EQ(out.data(), cat({newNode(5), kNull, kNull, backRef(0)}));
}

TEST_F(PersistenceTest, SharedReferencesLoadAsOneObject) {
  const Bytes bytes = cat({newNode(5), kNull, kNull, backRef(0)});
  const int before = Counts::constructed;
  ccPtrHandle<Node> a, b;
  {
    ccArchive in(bytes);
    in || a || b;
    EXPECT_TRUE(in.atEnd());
  }
  EXPECT_EQ(Counts::constructed - before, 1);
  ASSERT_TRUE(a);
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(a->refCount(), 2);
  a.reset();
  EXPECT_EQ(b->refCount(), 1);
  EXPECT_EQ(b->value(), 5);
}

TEST_F(PersistenceTest, TwoDistinctEqualObjectsStayDistinct) {
  ccPtrHandle<Node> h1(new Node(9)), h2(new Node(9));
  ccArchive out;
  out || h1 || h2;
  EXPECT_EQ(out.data(), cat({newNode(9), kNull, kNull, laterNode(9), kNull, kNull}));

  ccPtrHandle<Node> a, b;
  {
    ccArchive in(out.data());
    in || a || b;
  }
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.rep(), b.rep());
  EXPECT_EQ(a->refCount(), 1);
  EXPECT_EQ(b->refCount(), 1);
}

TEST_F(PersistenceTest, DiamondGraphStoresSharedNodeOnceInStoreOrder) {
  // root -> (b, c); b -> d; c -> d.
  ccPtrHandle<Node> d(new Node(4));
  ccPtrHandle<Node> b(new Node(2)), c(new Node(3));
  b->left = d;
  c->left = d;
  ccPtrHandle<Node> root(new Node(1));
  root->left = b;
  root->right = c;

  ccArchive out;
  out || root;
  // Store order: root 0, b 1, d 2, c 3; c's child refers back to index 2.
  const Bytes expected = cat({newNode(1),                         // root
                              laterNode(2), laterNode(4), kNull,  // b, d, d.left
                              kNull,                              // d.right
                              kNull,                              // b.right
                              laterNode(3), backRef(2), kNull});  // c, c.left, c.right
  EXPECT_EQ(out.data(), expected);

  const int before = Counts::constructed;
  ccPtrHandle<Node> back;
  {
    ccArchive in(expected);
    in || back;
    EXPECT_TRUE(in.atEnd());
  }
  EXPECT_EQ(Counts::constructed - before, 4);
  ASSERT_TRUE(back && back->left && back->right);
  EXPECT_EQ(back->value(), 1);
  EXPECT_EQ(back->left->value(), 2);
  EXPECT_EQ(back->right->value(), 3);
  ASSERT_TRUE(back->left->left);
  EXPECT_EQ(back->left->left.rep(), back->right->left.rep());
  EXPECT_EQ(back->left->left->value(), 4);
  EXPECT_EQ(back->left->left->refCount(), 2);
  EXPECT_EQ(back->refCount(), 1);
}

TEST_F(PersistenceTest, ConstHandlesStoreAndLoadLikeHandles) {
  ccPtrHandle<Node> h(new Node(11));
  ccPtrHandle_const<Node> ch = h;
  ccArchive out;
  out || ch || h;
  EXPECT_EQ(out.data(), cat({newNode(11), kNull, kNull, backRef(0)}));

  ccPtrHandle_const<Node> a;
  ccPtrHandle<Node> b;
  {
    ccArchive in(out.data());
    in || a || b;
  }
  ASSERT_TRUE(a);
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(a->value(), 11);
  EXPECT_EQ(a->refCount(), 2);
}

TEST_F(PersistenceTest, SeparateArchivesStoreTheObjectInFullEachTime) {
  ccPtrHandle<Node> h(new Node(1));
  ccArchive first, second;
  first || h;
  second || h;
  EXPECT_EQ(first.data(), second.data());
}

TEST_F(PersistenceTest, UnregisteredClassCannotBeStored) {
  struct Unregistered : public virtual ccPersistent, public virtual ccRepBase {
    void dispatchSerialize(ccArchive&) override {}
  };
  ccPtrHandle<Unregistered> h(new Unregistered);
  ccArchive out;
  EXPECT_THROW(out || h, ccArchive::UnknownClass);
}

// ---------------------------------------------------------------------------------------
// Malformed object data

TEST_F(PersistenceTest, UnknownClassNameIsUnknownClass) {
  Bytes bytes{0x01};
  putString(bytes, "no::SuchClass");
  bytes.push_back(0x00);
  ccArchive in(bytes);
  ccPtrHandle<Node> h;
  try {
    in || h;
    ADD_FAILURE() << "loaded an unknown class";
  } catch (const ccArchive::UnknownClass& e) {
    EXPECT_EQ(e.errorNumber(), 0x10001A03u);
    EXPECT_NE(std::string(e.what()).find("no::SuchClass"), std::string::npos);
  }
  EXPECT_TRUE(h.isNull());
}

TEST_F(PersistenceTest, UnshareableClassIsBadDataAndFreed) {
  Bytes bytes{0x01};
  putString(bytes, "persistence_test::Unshared");
  bytes.push_back(0x00);
  const int live = Counts::live();
  ccArchive in(bytes);
  ccPtrHandle<Node> h;
  try {
    in || h;
    ADD_FAILURE() << "loaded a class without a share count";
  } catch (const ccArchive::BadData& e) {
    EXPECT_NE(std::string(e.what()).find("cannot be shared"), std::string::npos);
  }
  EXPECT_EQ(Counts::live(), live);
}

TEST_F(PersistenceTest, BadTagIsBadData) {
  for (unsigned char tag : {0x03, 0x80, 0xFF}) {
    ccArchive in(Bytes{tag, 0, 0, 0, 0});
    ccPtrHandle<Node> h;
    try {
      in || h;
      ADD_FAILURE() << "accepted tag " << int(tag);
    } catch (const ccArchive::BadData& e) {
      EXPECT_EQ(e.errorNumber(), 0x10001A02u);
    }
  }
}

TEST_F(PersistenceTest, BackReferenceWithNothingLoadedIsBadData) {
  ccArchive in(backRef(0));
  ccPtrHandle<Node> h;
  EXPECT_THROW(in || h, ccArchive::BadData);
}

TEST_F(PersistenceTest, BackReferencePastLastLoadedIsBadData) {
  ccArchive in(cat({newNode(1), kNull, kNull, backRef(1)}));
  ccPtrHandle<Node> a, b;
  in || a;
  EXPECT_THROW(in || b, ccArchive::BadData);
  EXPECT_TRUE(b.isNull());

  ccArchive in2(cat({newNode(1), kNull, kNull, backRef(0xFFFFFFFFu)}));
  ccPtrHandle<Node> c, d;
  in2 || c;
  EXPECT_THROW(in2 || d, ccArchive::BadData);
}

TEST_F(PersistenceTest, TruncatedBackReferenceIsEndOfData) {
  ccArchive in(cat({newNode(1), kNull, kNull, Bytes{0x02, 0x00, 0x00}}));
  ccPtrHandle<Node> a, b;
  in || a;
  EXPECT_THROW(in || b, ccArchive::EndOfData);
}

TEST_F(PersistenceTest, ObjectOfWrongClassIsBadData) {
  ccPtrHandle<Node> h(new Node(1));
  ccArchive out;
  out || h;
  {
    ccArchive in(out.data());
    ccPtrHandle<Other> other(new Other);
    Other* const before = other.rep();
    EXPECT_THROW(in || other, ccArchive::BadData);
    EXPECT_EQ(other.rep(), before);
  }
  {
    ccArchive in(out.data());
    ccPtrHandle<ccException> e;
    EXPECT_THROW(in || e, ccArchive::BadData);
    EXPECT_TRUE(e.isNull());
  }
}

TEST_F(PersistenceTest, BackReferenceToObjectOfWrongClassIsBadData) {
  Bytes bytes{0x01};
  putString(bytes, kOtherName);
  bytes.push_back(0x00);
  bytes.push_back(0x05);
  bytes.push_back(0x00);
  bytes = cat({bytes, backRef(0)});
  ccArchive in(bytes);
  ccPtrHandle<Other> o;
  ccPtrHandle<Node> n;
  in || o;
  EXPECT_EQ(o->tag, 5);
  EXPECT_THROW(in || n, ccArchive::BadData);
  EXPECT_TRUE(n.isNull());
}

TEST_F(PersistenceTest, FailedLoadFreesEverythingItMade) {
  const Bytes full = cat({newNode(1), newNode(2), kNull, kNull, newNode(3), kNull, kNull});
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    const int live = Counts::live();
    {
      ccArchive in(Bytes(full.begin(), full.begin() + cut));
      ccPtrHandle<Node> h;
      EXPECT_ANY_THROW(in || h) << "cut " << cut;
      EXPECT_TRUE(h.isNull());
    }
    EXPECT_EQ(Counts::live(), live) << "cut " << cut;
  }
}

TEST_F(PersistenceTest, UnknownVersionCarriesSourceAndLineAndFreesTheObject) {
  Bytes bytes{0x01};
  putString(bytes, kNodeName);
  bytes.push_back(0x01);  // version 1
  putU32(bytes, 1);
  bytes.push_back(0x00);
  bytes.push_back(0x00);
  const int live = Counts::live();
  {
    ccArchive in(bytes);
    ccPtrHandle<Node> h;
    try {
      in || h;
      ADD_FAILURE() << "loaded an unknown version";
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.errorNumber(), 0x10001A00u);
      EXPECT_EQ(e.source(), "test/thing");
      EXPECT_GT(Node::versionCheckLine, 0);
      EXPECT_EQ(e.line(), Node::versionCheckLine);
      EXPECT_NE(e.message().find("test/thing"), std::string::npos);
      EXPECT_NE(e.message().find(std::to_string(Node::versionCheckLine)), std::string::npos);
      const std::string what = e.what();
      EXPECT_NE(what.find("test/thing"), std::string::npos);
      EXPECT_NE(what.find(std::to_string(Node::versionCheckLine)), std::string::npos);
    }
    EXPECT_TRUE(h.isNull());
  }
  EXPECT_EQ(Counts::live(), live);
}

// Class tags: a class is named once per archive; a tag never defined, a class defined twice
// and the long form of a short tag are malformed. Format 1 names the class of every object.
TEST_F(PersistenceTest, ClassTagsAreDefinedOnceAndReferredTo) {
  const Bytes longForm = cat({newNode(1), kNull, kNull, Bytes{0x03, 0, 0, 0, 0, 0}, kNull, kNull});
  const struct {
    const char* id;
    Bytes bytes;
  } kBad[] = {
      {"tag never defined", cat({newNode(1), kNull, kNull, Bytes{0x05, 0x00}})},
      {"long tag never defined", Bytes{0x03, 0x00, 0x01, 0, 0}},
      {"short tag before any class", Bytes{0x04, 0x00}},
      {"class defined twice", cat({newNode(1), kNull, kNull, newNode(2), kNull, kNull})},
      {"short tag in long form", longForm},
  };
  for (const auto& c : kBad) {
    ccArchive in(c.bytes);
    ccPtrHandle<Node> a, b;
    EXPECT_THROW(in || a || b, ccArchive::BadData) << c.id;
  }
  ccArchive format1(cat({newNode(1), kNull, kNull, newNode(2), kNull, kNull}), ccArchive::eFormat1);
  ccPtrHandle<Node> a, b;
  format1 || a || b;
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->value(), 2);
}

TEST_F(PersistenceTest, ObjectsLoadedBeforeAFailureStayValid) {
  // The first object loads, the second fails: the first handle keeps its object.
  const Bytes bad{0x04, 0x07};
  const Bytes bytes = cat({newNode(1), kNull, kNull, bad});
  ccPtrHandle<Node> a, b;
  {
    ccArchive in(bytes);
    in || a;
    EXPECT_THROW(in || b, ccArchive::UnknownVersion);
  }
  ASSERT_TRUE(a);
  EXPECT_EQ(a->value(), 1);
  EXPECT_EQ(a->refCount(), 1);
}

// ---------------------------------------------------------------------------------------
// Change counting

TEST_F(PersistenceTest, MutatingBumpsChangeCount) {
  Node n;
  EXPECT_EQ(n.changeCount(), 0u);
  n.value(3);
  EXPECT_EQ(n.changeCount(), 1u);
  n.value(3);
  n.value(4);
  EXPECT_EQ(n.changeCount(), 3u);
  EXPECT_EQ(n.value(), 4);
}

// ---------------------------------------------------------------------------------------
// Handles

TEST_F(PersistenceTest, CopiedHandleSharesTheObject) {
  ccPtrHandle<Node> a(new Node(1));
  EXPECT_EQ(a->refCount(), 1);
  {
    ccPtrHandle<Node> b = a;
    EXPECT_EQ(b.rep(), a.rep());
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_EQ(a->refCount(), 2);
    b->value(8);
    EXPECT_EQ(a->value(), 8);
  }
  EXPECT_EQ(a->refCount(), 1);
}

TEST_F(PersistenceTest, LastHandleDeletesTheObject) {
  const int destroyed = Counts::destroyed;
  {
    ccPtrHandle<Node> a(new Node(1));
    ccPtrHandle<Node> b = a;
    ccPtrHandle<Node> c;
    c = b;
    a.reset();
    EXPECT_TRUE(a.isNull());
    b = ccPtrHandle<Node>();
    EXPECT_EQ(Counts::destroyed, destroyed);
    EXPECT_EQ(c->refCount(), 1);
  }
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
}

TEST_F(PersistenceTest, AssigningOverAHandleReleasesItsOldObject) {
  const int destroyed = Counts::destroyed;
  ccPtrHandle<Node> a(new Node(1));
  ccPtrHandle<Node> b(new Node(2));
  a = b;
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
  EXPECT_EQ(a->value(), 2);
  EXPECT_EQ(b->refCount(), 2);
}

TEST_F(PersistenceTest, MovedHandleTransfersItsShare) {
  ccPtrHandle<Node> a(new Node(1));
  Node* p = a.rep();
  ccPtrHandle<Node> b(std::move(a));
  EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move): a moved handle is null
  EXPECT_EQ(b.rep(), p);
  EXPECT_EQ(p->refCount(), 1);
  ccPtrHandle<Node> c;
  c = std::move(b);
  EXPECT_EQ(c.rep(), p);
  EXPECT_EQ(p->refCount(), 1);
}

TEST_F(PersistenceTest, ConstHandleFromHandleShares) {
  ccPtrHandle<Node> h(new Node(6));
  ccPtrHandle_const<Node> c = h;
  EXPECT_EQ(c.rep(), h.rep());
  EXPECT_EQ(h->refCount(), 2);
  ccPtrHandle_const<Node> c2(c);
  EXPECT_EQ(h->refCount(), 3);
  c.reset();
  c2.reset();
  EXPECT_EQ(h->refCount(), 1);
  ccPtrHandle_const<ccRepBase> base = h;
  EXPECT_EQ(h->refCount(), 2);
  EXPECT_EQ(base.rep(), static_cast<const ccRepBase*>(h.rep()));
}

TEST_F(PersistenceTest, ConstHandleOutlivesTheHandle) {
  const int destroyed = Counts::destroyed;
  ccPtrHandle_const<Node> c;
  {
    ccPtrHandle<Node> h(new Node(12));
    c = h;
  }
  EXPECT_EQ(Counts::destroyed, destroyed);
  EXPECT_EQ(c->value(), 12);
  c.reset();
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
}

TEST_F(PersistenceTest, SelfAssignmentKeepsTheObject) {
  const int destroyed = Counts::destroyed;
  ccPtrHandle<Node> h(new Node(1));
  ccPtrHandle<Node>& same = h;
  h = same;
  EXPECT_EQ(Counts::destroyed, destroyed);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->refCount(), 1);
  EXPECT_EQ(h->value(), 1);

  ccPtrHandle_const<Node> c = h;
  ccPtrHandle_const<Node>& sameC = c;
  c = sameC;
  EXPECT_EQ(h->refCount(), 2);
}

TEST_F(PersistenceTest, HandleFromDerivedPointerConverts) {
  ccPtrHandle<Node> n(new Node(1));
  ccPtrHandle<ccRepBase> base = n;
  EXPECT_EQ(n->refCount(), 2);
  EXPECT_EQ(base.rep(), static_cast<ccRepBase*>(n.rep()));
}

TEST_F(PersistenceTest, CopiedRepStartsUnshared) {
  ccPtrHandle<Node> h(new Node(3));
  ccPtrHandle<Node> h2 = h;
  ASSERT_EQ(h->refCount(), 2);
  Node copy(*h);
  EXPECT_EQ(copy.refCount(), 0);
  EXPECT_EQ(copy.value(), 3);
  ccPtrHandle<Node> ch(new Node(*h));
  EXPECT_EQ(ch->refCount(), 1);
  EXPECT_EQ(h->refCount(), 2);

  Node assigned;
  ccPtrHandle<Node> ah(new Node(0));
  *ah = *h;  // assignment copies fields, not the count
  EXPECT_EQ(ah->refCount(), 1);
  EXPECT_EQ(ah->value(), 3);
  EXPECT_EQ(assigned.refCount(), 0);
}

TEST_F(PersistenceTest, NullHandlesCompareEqualAndAreFalse) {
  ccPtrHandle<Node> a, b(nullptr);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(static_cast<bool>(a));
  EXPECT_EQ(a.get(), nullptr);
  ccPtrHandle_const<Node> c(nullptr);
  EXPECT_TRUE(c.isNull());
}

// A simple load reads an object's own record (no class name) and is refused on a storing
// archive; a vector of objects that have only the persistent form stores each in place.
TEST_F(PersistenceTest, SimpleLoadAndVectorsOfPersistentValues) {
  Node n(7);
  ccArchive out;
  n.dispatchSerialize(out);
  Node m(3);
  ccArchive in(out.data());
  m.loadSimple(in);
  EXPECT_EQ(m.value(), 7);
  EXPECT_TRUE(in.atEnd());
  {
    AssertCounter asserts;
    ccArchive storing;
    m.loadSimple(storing);
    EXPECT_EQ(asserts.reports(), 1);
    EXPECT_TRUE(storing.data().empty());
  }

  std::vector<Node> nodes{Node(1), Node(2), Node(3)};
  ccArchive vout;
  vout || nodes;
  EXPECT_EQ(vout.data().size(), 4u + 3 * (1 + 4 + 2));  // count, then version, value, two nulls
  std::vector<Node> back;
  ccArchive vin(vout.data());
  vin || back;
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[2].value(), 3);
}

}  // namespace persistence_test
