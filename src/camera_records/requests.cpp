// Look-up in the request catalogue.
#include "camera_records/requests.h"

namespace kestrom {

const Request* findRequest(std::uint32_t code) {
    for (const Request& r : kRequestCatalogue)
        if (r.code == code) return &r;
    return nullptr;
}

}  // namespace kestrom
