// The conditional maximum-entropy classifier: labels, feature names, one
// weight per (label, feature name) pair seen together, the version-2 and the
// older model files, classification and the training-side operations.
#ifndef KORVANE_MAXENT_ME_MODEL_H
#define KORVANE_MAXENT_ME_MODEL_H

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

// One instance in string form.
struct ME_Sample {
  std::string label_str;
  std::vector<std::string> feature_strs;  // indicator features; repeats count twice
  std::vector<std::pair<std::string, double>> valued_feature_strs;
};

// One row of an in-memory weight table; the row whose label is "///" ends it.
struct ME_Model_Data {
  const char* label_name;
  const char* feature_name;
  double value;
};

class ME_Model {
 public:
  // Key of a (label id, feature-name id) pair: label in bits 0-7, name above.
  struct ME_Feature {
    ME_Feature() : _body(0) {}
    ME_Feature(int label, int feature)
        : _body(static_cast<uint32_t>(label) + (static_cast<uint32_t>(feature) << 8)) {}
    explicit ME_Feature(uint32_t body) : _body(body) {}
    int label() const { return static_cast<int>(_body & 0xff); }
    int feature() const { return static_cast<int>(_body >> 8); }
    uint32_t body() const { return _body; }
    uint32_t _body;
  };

  // The keys in index order, with a hash index from key to index (the
  // operations that need the keys in key order sort them).
  struct ME_FeatureBag {
    std::vector<ME_Feature> keys;
    // Existing index of the key, or the next index for a new one.
    int Put(const ME_Feature& f);
    // Index of the key, -1 when absent.
    int Id(const ME_Feature& f) const;
    int Size() const { return static_cast<int>(keys.size()); }
    void Clear();
    // Adds a key known to be absent, without touching the index (a loader
    // that knows its keys are new); IndexPending or the next Put indexes it.
    int Append(const ME_Feature& f);
    void IndexPending();

   private:
    std::vector<uint64_t> slots_;  // open addressing: key above, 1 + index below; 0 is empty
    size_t indexed_ = 0;           // keys[0, indexed_) are in slots_
  };

  struct Sample {
    int label_id = 0;
    int frequency = 1;
    std::vector<int> feature_ids;
    std::vector<std::pair<int, double>> valued_feature_ids;
    std::vector<double> reference_dist;
  };

  struct LabelTable {
    std::map<std::string, int> ids;
    std::vector<std::string> names;
    int Put(const std::string& s);
    int Id(const std::string& s) const;  // -1 when absent
    int Size() const { return static_cast<int>(names.size()); }
    void Clear();
  };

  // Change it through Put, PutAfterLast and Clear only: a hash index over the
  // names of `ids` spares lookups the search of the ordered map.
  struct FeatureNameTable {
    int count = 0;
    std::map<std::string, int> ids;
    int Put(const std::string& s);
    int Id(const std::string& s) const;  // -1 when absent
    int Id(const char* s, size_t length) const;
    // Put for a name that sorts after every stored one (a model file lists
    // its names in that order): appended at the end of the map, no search;
    // indexed by the next Put or by IndexPending.
    int PutAfterLast(const std::string& s);
    void IndexPending();
    // The name with this id, null when unknown (or the table was changed
    // other than through its operations).
    const std::string* NameOf(int id) const;
    void Clear();

    FeatureNameTable() = default;
    FeatureNameTable(const FeatureNameTable& other);
    FeatureNameTable& operator=(const FeatureNameTable& other);
    // Moving keeps the map's nodes where they are, and so the index.
    FeatureNameTable(FeatureNameTable&& other) noexcept;
    FeatureNameTable& operator=(FeatureNameTable&& other) noexcept;

   private:
    typedef std::map<std::string, int>::value_type Entry;
    bool inSync() const { return entries_.size() == ids.size(); }
    int find(const char* s, size_t length, uint64_t hash) const;
    void indexRange(size_t from);
    void reindex();
    std::vector<uint64_t> slots_;  // open addressing: hash bits above, 1 + entry below; 0 is empty
    std::vector<const Entry*> entries_;  // every name, by id when built by the operations
    size_t indexed_ = 0;                 // entries_[0, indexed_) are in slots_
    bool byId_ = true;                   // entries_[id] holds the name with that id
  };

  ME_Model();
  ~ME_Model();
  ME_Model(const ME_Model&) = delete;
  ME_Model& operator=(const ME_Model&) = delete;

  // Model files.
  bool load_from_fileV2(const std::string& path);
  bool save_to_fileV2(const std::string& path) const;
  bool load_from_file(const std::string& path);
  bool load_from_array(const ME_Model_Data* rows);
  static void readLine2VectorString(std::string& line, std::vector<std::string>& tokens);
  void init_feature2mef();

  // Classification.
  std::vector<double> classify(ME_Sample& sample) const;
  int classify2(ME_Sample& sample, std::vector<double>& probs) const;
  int classify(const Sample& s, std::vector<double>& probs) const;
  int conditional_probability2(const Sample& s, std::vector<double>& probs) const;
  void set_ref_dist(Sample& s) const;

  // Training side.
  void add_training_sample(const ME_Sample& sample);
  int make_feature_bag(int cutoff);
  int filterFeatureList(const std::string& name);
  double heldout_likelihood();
  int compareFeatures(Sample& a, Sample& b);
  void get_features(std::list<std::pair<std::pair<std::string, std::string>, double>>& out);

  int num_classes() const { return label_count; }
  std::string get_class_label(int id) const { return labels.names[id]; }
  int get_class_id(const std::string& s) const { return labels.Id(s); }

  std::string filter_file_name;
  std::vector<Sample> training_samples;
  LabelTable labels;
  FeatureNameTable feature_names;
  std::vector<double> weights;
  ME_FeatureBag feature_bag;
  int label_count = 0;
  std::vector<int> row_entries;  // feature indices grouped by feature-name id
  std::vector<int> row_offsets;  // feature_names.count + 1 entries once built
  std::vector<Sample> heldout_samples;
  double heldout_error = 0.0;
  const ME_Model* reference_model = nullptr;

 private:
  // String-form features to ids (unknown strings dropped), plus the
  // reference prior when there is a reference model.
  void map_sample(ME_Sample& sample, Sample& s) const;
};

// 1 when path opens for reading; else prints "Error: open file %s for reading.\n", -1.
int checkFile(const char* path);

#endif
