// Image objects: decoded pixels kept by the core, with a native image from the backend.
#include "toolkit/core.h"
#include "toolkit/image_decode.h"
#include "toolkit/numbers.h"
#include "toolkit/toolkit.h"

#include <memory>
#include <vector>

namespace {

struct ImageRecord {
    std::shared_ptr<PixelImage> pixels;
    NativeHandle native; // from the backend, or the pixels' address without one
    bool backend_made;
};

NumberTable<ImageRecord> images;

void free_image(int32_t id) {
    ImageRecord* r = images.find(id);
    if (!r) return;
    const NativeHandle native = r->native;
    const bool backend_made = r->backend_made;
    images.erase(id);
    if (backend_made && core_backend()) core_backend()->image_destroy(native);
}

} // namespace

intptr_t image_decode_memory(int32_t number, const void* data, size_t size) {
    if (!data) return 0;
    auto pixels = std::make_shared<PixelImage>();
    if (!image_decode(data, size, *pixels)) return 0;
    int32_t id;
    if (!number_id_for(number, &id)) return 0;
    NativeHandle native;
    const WindowBackend* backend = core_backend();
    if (backend) {
        const DecodedImage view{pixels->width, pixels->height, pixels->alpha,
                                pixels->pixels.data()};
        native = backend->image_create(view);
    } else {
        native = reinterpret_cast<NativeHandle>(pixels.get());
    }
    if (!native) return 0;
    // An image the number already holds goes only once the new one is ready.
    if (number >= 0) free_image(id);
    images.put(id, ImageRecord{pixels, native, backend != nullptr});
    return number_create_result(id, native);
}

NativeHandle image_native_handle(int32_t image) {
    ImageRecord* r = images.find(image);
    return r ? r->native : 0;
}

bool image_native_is_live(NativeHandle native) {
    bool live = false;
    images.for_each_id([&](int32_t id) { live = live || images.find(id)->native == native; });
    return native && live;
}

void images_free_all() {
    std::vector<int32_t> ids;
    images.for_each_id([&](int32_t id) { ids.push_back(id); });
    for (int32_t id : ids)
        free_image(id);
}
