// Numbered-object tables: static numbers chosen by the caller and handles chosen here.
#pragma once

#include "toolkit/toolkit.h"

#include <cstdint>
#include <map>

// A fresh handle: negative, below AUTO_NUMBER, never handed out twice in a process (shared by
// every kind, so a handle of one kind never equals a live handle of another).  0 once the
// handles are used up.
int32_t number_new_handle();

template <class Record> class NumberTable {
  public:
    // The record a static number or a live handle names, null for anything else.
    Record* find(int32_t id) {
        auto& map = id >= 0 ? statics_ : autos_;
        if (id < 0 && id >= AUTO_NUMBER) return nullptr;
        auto it = map.find(id);
        return it == map.end() ? nullptr : &it->second;
    }
    // Stores a record under id (a static number or a handle from number_new_handle).
    Record& put(int32_t id, const Record& record) {
        auto& map = id >= 0 ? statics_ : autos_;
        return map[id] = record;
    }
    void erase(int32_t id) { (id >= 0 ? statics_ : autos_).erase(id); }
    bool empty() const { return statics_.empty() && autos_.empty(); }
    // Every live id: static numbers ascending, then handles oldest first.
    template <class F> void for_each_id(F f) const {
        for (const auto& [id, record] : statics_)
            f(id);
        for (auto it = autos_.rbegin(); it != autos_.rend(); ++it)
            f(it->first);
    }

  private:
    std::map<int32_t, Record> statics_;
    std::map<int32_t, Record> autos_; // handles count down, so the newest has the lowest key
};

// The id a create operation works under: the static number itself, or a fresh handle for
// AUTO_NUMBER.  False for anything else (values below -1 cannot be chosen by a caller) and
// once the handles are used up.
inline bool number_id_for(int32_t number, int32_t* id) {
    if (number >= 0) {
        *id = number;
        return true;
    }
    if (number != AUTO_NUMBER) return false;
    *id = number_new_handle();
    return *id != 0;
}
// What a create operation returns: the handle for AUTO_NUMBER, the native handle otherwise.
inline intptr_t number_create_result(int32_t id, NativeHandle native) {
    return id >= 0 ? native : intptr_t(id);
}
