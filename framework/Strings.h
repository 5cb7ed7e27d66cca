// Ordered lists of text lines: the abstract list that controls expose as
// their items, and a plain in-memory list.
#pragma once

#include <string>
#include <vector>

namespace sw {

class TStrings {
public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& text);
    virtual void Insert(int index, const std::string& text) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& text);

    std::string operator[](int index) const { return Get(index); }
    std::vector<std::string> ToVector() const;
    // The lines as a text file holds them, each followed by CR LF.
    std::string ToText() const;
    // Replaces the whole content: a clear followed by one add per line.
    virtual void Assign(const std::vector<std::string>& lines);

    // Whole-file reading and writing with the text line rules.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

    // Brackets a batch of changes (nested brackets count); a list shown on
    // screen draws and measures once at the end instead of per line.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateCount_ > 0; }

protected:
    // Called when the first bracket opens (true) and the last closes (false).
    virtual void SetUpdateState(bool updating) { (void)updating; }

private:
    int updateCount_ = 0;
};

// Holds a list in an update bracket for the life of the scope.
class TStringsUpdate {
public:
    explicit TStringsUpdate(TStrings& strings) : strings_(strings) { strings_.BeginUpdate(); }
    ~TStringsUpdate();
    TStringsUpdate(const TStringsUpdate&) = delete;
    TStringsUpdate& operator=(const TStringsUpdate&) = delete;

private:
    TStrings& strings_;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& text) override;
    void Insert(int index, const std::string& text) override;
    void Delete(int index) override;
    void Clear() override { lines_.clear(); }
    int Add(const std::string& text) override;
    void Assign(const std::vector<std::string>& lines) override { lines_ = lines; }

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

}  // namespace sw
