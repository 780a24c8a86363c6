// Loads arbitrary bytes as a profile, then checks that the list holds
// together under lookups, key lists, writing and deletion.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "profile/profile.h"

namespace {

#define CHECK(cond)                                                     \
    do {                                                                \
        if (!(cond)) {                                                  \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                               \
        }                                                               \
    } while (0)

class CountingSink : public CTextSink {
public:
    void Write(const char* data, size_t len) override {
        CHECK(data != nullptr || len == 0);
        bytes += len;
    }
    size_t bytes = 0;
};

bool HasBreakOrNul(const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The bytes SaveFile writes for the list.
size_t SavedSize(const CSectionList& list) {
    size_t n = 0;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        n += s->name.size() + 4 + 2;
        for (const LINE_LIST* l = s->lines; l; l = l->next)
            n += l->key.size() + (l->value.empty() ? 0 : 3 + l->value.size()) + 2;
    }
    return n;
}

size_t CheckList(const CSectionList& list) {
    size_t sections = 0;
    const SECTION_LIST* prev = nullptr;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        ++sections;
        CHECK(s->kind == 1);
        CHECK(s->prev == prev);
        CHECK(s->name.size() <= kMaxSectionName);
        CHECK(!HasBreakOrNul(s->name));
        CHECK(list.FindSection(s->name.c_str()) == s);
        const std::string folded = ProfileFold(s->name.data(), s->name.size());
        CHECK(list.FindSection(folded.c_str()) == s);
        const LINE_LIST* lprev = nullptr;
        for (const LINE_LIST* l = s->lines; l; l = l->next) {
            CHECK(l->kind == 0);
            CHECK(l->section == s);
            CHECK(l->prev == lprev);
            CHECK(l->key.size() <= kMaxKey);
            CHECK(l->value.size() <= kMaxValue);
            CHECK(!HasBreakOrNul(l->key) && !HasBreakOrNul(l->value));
            lprev = l;
        }
        CHECK(s->last == lprev);
        prev = s;
    }
    CHECK(sections == list.SectionCount());
    CHECK(list.FindSection(nullptr) == list.head());
    return sections;
}

void CheckLookups(const CSectionList& list, const SECTION_LIST* s) {
    int position = 0;
    for (const LINE_LIST* l = s->lines; l && position < 64; l = l->next, ++position) {
        CHECK(list.FindKey(s, position) == l);
        if (l->key.empty()) {
            CHECK(list.FindKey(s, l->key.c_str(), 0) == nullptr);
            continue;
        }
        // Which occurrence of its key this line is.
        int occurrence = 0;
        for (const LINE_LIST* p = s->lines; p != l; p = p->next)
            if (ProfileEqualNoCase(p->key.data(), p->key.size(), l->key.data(), l->key.size()))
                ++occurrence;
        CHECK(list.FindKey(s, l->key.c_str(), occurrence) == l);

        std::vector<char> big(kMaxValue + 2, 'z');
        CHECK(list.GetValue(s->name.c_str(), l->key.c_str(), big.data(), big.size(), occurrence));
        CHECK(l->value == big.data());
        char small[4];
        CHECK(list.GetValue(s->name.c_str(), l->key.c_str(), small, sizeof small, occurrence));
        CHECK(std::memcmp(small, l->value.data(),
                          l->value.size() < sizeof small ? l->value.size() : sizeof small) == 0);
    }
    CHECK(list.FindKey(s, -1) == nullptr);

    // Key list with room to spare, then with little room: same total.
    size_t needed = 0, lines = 0;
    for (const LINE_LIST* l = s->lines; l; l = l->next, ++lines) needed += l->key.size() + 1;
    if (needed < 1 << 20 && !s->name.empty()) {
        std::vector<char> buffer(needed + 1, 'z');
        uint32_t size = static_cast<uint32_t>(buffer.size()), count = 0;
        CHECK(list.GetAllKey(s->name.c_str(), buffer.data(), &size, &count) == 0);
        CHECK(size == needed && count == lines);
        size_t at = 0;
        for (const LINE_LIST* l = s->lines; l; l = l->next) {
            CHECK(l->key == buffer.data() + at);
            at += l->key.size() + 1;
        }
        CHECK(buffer[at] == '\0');

        char small[8];
        size = sizeof small;
        count = 0;
        const uint32_t code = list.GetAllKey(s->name.c_str(), small, &size, &count);
        CHECK(code == (needed < sizeof small ? 0u : 14u));
        CHECK(size == needed);
        CHECK(count <= lines);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint32_t kCodePages[] = {1252, 1252, 1252, 1252, 932, 936, 949, 950};
    SetProfileCodePage(size ? kCodePages[data[size - 1] % 8] : 1252);
    const char* text = reinterpret_cast<const char*>(data);

    std::string clean;
    CHECK(CProfile::ProcessData(text, size, clean));
    CHECK(clean.size() <= 2 * size);

    CSectionList list;
    CProfile::LoadText(text, size, list);
    CheckList(list);

    int checked = 0;
    for (const SECTION_LIST* s = list.head(); s && checked < 32; s = s->next, ++checked)
        CheckLookups(list, s);

    CountingSink sink;
    CHECK(list.SaveFile(sink) == 0);
    CHECK(sink.bytes == SavedSize(list));

    // The input's own first line as a lookup and as an edit.
    std::string probe(text, size < 300 ? size : 300);
    probe = probe.substr(0, probe.find_first_of(std::string("\r\n\0", 3)));
    list.FindSection(probe.c_str());
    list.SetValue(probe.c_str(), probe.c_str(), probe.c_str(), 0);
    CheckList(list);

    if (const SECTION_LIST* first = list.head()) {
        const size_t before = list.SectionCount();
        const std::string name = first->name;
        if (first->lines) {
            const std::string key = first->lines->key;
            const bool findable = !key.empty();
            CHECK(list.DeleteLine(name.c_str(), key.c_str()) == findable);
        }
        CHECK(list.DeleteSection(name.c_str()));
        CHECK(list.FindSection(name.c_str()) == nullptr);
        CHECK(CheckList(list) + 1 == before);
    }
    if (SECTION_LIST* last = list.head()) {
        while (last->next) last = last->next;
        if (last->lines) list.DeleteLineList(last->lines->next);
        list.AddLine(last, "K=V", false);
        CHECK(last->last && last->last->key == "K");
        CheckList(list);
    }
    list.ClearAll();
    CHECK(list.head() == nullptr && list.SectionCount() == 0);
    return 0;
}
