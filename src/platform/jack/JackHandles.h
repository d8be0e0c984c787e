#pragma once

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <memory>

namespace vantor::platform {

// Owning handles for the JACK objects we create, so no path forgets to
// release one.
struct JackClientCloser {
    void operator()(jack_client_t* client) const { jack_client_close(client); }
};
using JackClientHandle = std::unique_ptr<jack_client_t, JackClientCloser>;

struct JackRingbufferFreer {
    void operator()(jack_ringbuffer_t* ring) const { jack_ringbuffer_free(ring); }
};
using JackRingbufferHandle = std::unique_ptr<jack_ringbuffer_t, JackRingbufferFreer>;

// Arrays that jack_get_ports() and friends hand over to the caller.
struct JackFreer {
    void operator()(const char** names) const { jack_free(static_cast<void*>(names)); }
};
using JackNameList = std::unique_ptr<const char*, JackFreer>;

// libjack writes its complaints ("Cannot connect to server socket", ...) to
// standard error. A missing JACK server is normal for this program, so the
// library is told to keep quiet.
void silenceJackLibrary();

} // namespace vantor::platform
