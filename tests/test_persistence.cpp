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
  EXPECT_EQ(cfClassName(typeid(Other)), kOtherName);
  EXPECT_EQ(cc_Instantiator::make("persistence_test::Nobody"), nullptr);
  ccPtrHandle<ccRepBase> made(dynamic_cast<ccRepBase*>(cc_Instantiator::make(kNodeName)));
  EXPECT_EQ(typeid(*made), typeid(Node));

  const auto names = cc_Instantiator::registeredNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_NE(std::find(names.begin(), names.end(), kOtherName), names.end());
}

// ---------------------------------------------------------------------------------------
// Storing and loading pointers

// Loads the handles from bytes, checking that every byte was used.
template <class... H>
void loadAll(const Bytes& bytes, H&... handles) {
  ccArchive in(bytes);
  (in || ... || handles);
  EXPECT_TRUE(in.atEnd());
}

// A null handle is tag 0; an object its tag, class (named the first time), version and fields;
// the same object again a reference to its index in store order, loaded as one object; equal
// but distinct objects stay distinct; const handles take part like handles.
TEST_F(PersistenceTest, ObjectsAreStoredOnceAndSharedReferencesLoadAsOne) {
  ccPtrHandle<Node> null, h(new Node(7)), alias = h, twin(new Node(7));
  ccPtrHandle_const<Node> ch = h;
  ccArchive out;
  out || null || h || alias || ch || twin;
  const Bytes expected =
      cat({kNull, newNode(7), kNull, kNull, backRef(0), backRef(0), laterNode(7), kNull, kNull});
  EXPECT_EQ(out.data(), expected);
  ccArchive again;  // another archive stores the object in full again
  again || h;
  EXPECT_EQ(again.data(), cat({newNode(7), kNull, kNull}));

  ccPtrHandle<Node> n(new Node(3)), a, b, d;
  const int before = Counts::constructed;
  ccPtrHandle_const<Node> c;
  loadAll(expected, n, a, b, c, d);
  EXPECT_EQ(Counts::constructed - before, 2);
  EXPECT_TRUE(n.isNull());
  ASSERT_TRUE(a && d);
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(c.rep(), a.rep());
  EXPECT_EQ(a->value(), 7);
  EXPECT_EQ(a->refCount(), 3);
  EXPECT_EQ(d->refCount(), 1);
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

  ccPtrHandle<Node> back;
  loadAll(expected, back);
  ASSERT_TRUE(back && back->left && back->right && back->left->left);
  EXPECT_EQ(back->left->left.rep(), back->right->left.rep());
  EXPECT_EQ(back->left->left->refCount(), 2);
}

// ---------------------------------------------------------------------------------------
// Malformed object data: each fails with its error, leaves the handle null and frees what it
// made. Class tags: a class is named once per archive; a tag never defined, a class defined
// twice and the long form of a short tag are malformed.

Bytes named(const std::string& cls, Bytes fields) {
  Bytes b{0x01};
  putString(b, cls);
  b.push_back(0x00);
  return cat({b, fields});
}

TEST_F(PersistenceTest, MalformedObjectsFailWithTheirError) {
  const Bytes one = cat({newNode(1), kNull, kNull});
  Bytes version1 = newNode(1);
  version1[1 + 4 + kNodeName.size()] = 1;
  const struct {
    const char* id;
    Bytes bytes;
    std::uint32_t error;
    const char* what;  // a part of the message, or ""
  } kBad[] = {
      {"unknown class", named("no::SuchClass", {}), 0x10001A03, "no::SuchClass"},
      {"class without a share count", named("persistence_test::Unshared", {}), 0x10001A02,
       "cannot be shared"},
      {"tag 0x80", Bytes{0x80, 0, 0, 0, 0}, 0x10001A02, ""},
      {"reference with nothing loaded", backRef(0), 0x10001A02, ""},
      {"reference past the last loaded", cat({one, backRef(1)}), 0x10001A02, ""},
      {"cut reference", cat({one, Bytes{0x02, 0x00, 0x00}}), 0x10001A01, ""},
      {"reference to another class", cat({named(kOtherName, {0x05, 0x00}), backRef(0)}), 0x10001A02,
       ""},
      {"tag never defined", cat({one, Bytes{0x05, 0x00}}), 0x10001A02, ""},
      {"long tag never defined", Bytes{0x03, 0x00, 0x01, 0, 0}, 0x10001A02, ""},
      {"short tag before any class", Bytes{0x04, 0x00}, 0x10001A02, ""},
      {"class defined twice", cat({one, one}), 0x10001A02, ""},
      {"short tag in long form", cat({one, Bytes{0x03, 0, 0, 0, 0, 0}, kNull, kNull}), 0x10001A02,
       ""},
      {"unknown version", cat({version1, kNull, kNull}), 0x10001A00, "test/thing"},
  };
  for (const auto& c : kBad) {
    SCOPED_TRACE(c.id);
    const int live = Counts::live();
    ccPtrHandle<Node> first;
    {
      ccArchive in(c.bytes);
      ccPtrHandle<Node> h;
      ccPtrHandle<Other> other;
      try {
        // An object before the bad one loads into a handle of its own and stays valid.
        const bool otherFirst = std::string(c.id) == "reference to another class";
        if (otherFirst) in || other;
        if (c.bytes.size() > one.size() && !otherFirst && c.bytes[0] == 0x01) in || first;
        in || h;
        ADD_FAILURE() << "loaded";
      } catch (const ccArchive::Errors& e) {
        EXPECT_EQ(e.errorNumber(), c.error);
        EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
      }
      EXPECT_TRUE(h.isNull());
    }
    if (first) {
      EXPECT_EQ(first->refCount(), 1);
      EXPECT_EQ(first->value(), 1);
      first.reset();
    }
    EXPECT_EQ(Counts::live(), live);
  }
  // Format 1 names the class of every object.
  ccArchive format1(cat({one, newNode(2), kNull, kNull}), ccArchive::eFormat1);
  ccPtrHandle<Node> a, b;
  format1 || a || b;
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->value(), 2);
}

TEST_F(PersistenceTest, ObjectOfWrongClassIsBadDataAndTheHandleKeepsItsObject) {
  ccPtrHandle<Node> h(new Node(1));
  ccArchive out;
  out || h;
  ccArchive in(out.data());
  ccPtrHandle<Other> other(new Other);
  Other* const before = other.rep();
  EXPECT_THROW(in || other, ccArchive::BadData);
  EXPECT_EQ(other.rep(), before);
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

TEST_F(PersistenceTest, UnknownVersionCarriesSourceAndLine) {
  Bytes bytes = cat({newNode(1), kNull, kNull});
  bytes[1 + 4 + kNodeName.size()] = 1;  // version 1
  ccArchive in(bytes);
  ccPtrHandle<Node> h;
  try {
    in || h;
    ADD_FAILURE() << "loaded an unknown version";
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), "test/thing");
    EXPECT_EQ(e.line(), Node::versionCheckLine);
    EXPECT_NE(std::string(e.what()).find(std::to_string(e.line())), std::string::npos);
  }
}

// ---------------------------------------------------------------------------------------
// Change counting

// ---------------------------------------------------------------------------------------
// Handles

// Copies share one object by count; the last handle to let go deletes it; a move transfers
// the share; self-assignment keeps the object.
TEST_F(PersistenceTest, HandlesShareOneObjectUntilTheLastLetsGo) {
  const int destroyed = Counts::destroyed;
  ccPtrHandle<Node> a(new Node(1));
  {
    ccPtrHandle<Node> b = a;
    EXPECT_EQ(a->refCount(), 2);
    ccPtrHandle<Node> c;
    c = b;
    a.reset();
    EXPECT_TRUE(a.isNull());
    b = ccPtrHandle<Node>();
    EXPECT_EQ(c->refCount(), 1);
    a = c;
  }
  EXPECT_EQ(Counts::destroyed, destroyed);
  a = ccPtrHandle<Node>(new Node(2));  // assigning over a handle releases its old object
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
  Node* p = a.rep();
  ccPtrHandle<Node> moved(std::move(a));
  EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move): a moved handle is null
  ccPtrHandle<Node> again;
  again = std::move(moved);
  ccPtrHandle<Node>& same = again;
  again = same;
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
  ccPtrHandle<ccRepBase> base = again;  // from a derived handle
  EXPECT_EQ(base.rep(), static_cast<ccRepBase*>(p));
  EXPECT_EQ(p->refCount(), 2);
  // A copied object starts unshared; assigning an object copies its fields, not its count.
  EXPECT_EQ(Node(*p).refCount(), 0);
  *again = Node(5);
  EXPECT_EQ(p->refCount(), 2);
  EXPECT_EQ(again->value(), 5);
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
  EXPECT_EQ(back.size() == 3 ? back[2].value() : -1, 3);
}

}  // namespace persistence_test
