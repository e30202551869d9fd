#include "media/alsamidi.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "media/mediabackend.h"

namespace orva::media {

namespace {

// The library prints its errors to standard error unless told otherwise.
void AlsaLog(const char* file, int line, const char* function, int err, const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  MediaLog(std::string("sequencer: ") + text);
}

class TAlsaPort : public IMidiOut {
 public:
  TAlsaPort(snd_seq_t* seq, int source, int client, int port)
      : seq_(seq), source_(source), client_(client), port_(port) {}

  bool Open(Done done) override {
    snd_seq_port_info_t* info;
    snd_seq_port_info_alloca(&info);
    if (snd_seq_get_any_port_info(seq_, client_, port_, info) < 0) return false;
    done_ = std::move(done);
    open_ = true;
    return true;
  }
  void Close() override {
    open_ = false;
    done_ = nullptr;
  }
  void ShortMessage(uint8_t status, uint8_t data1, uint8_t data2) override {
    if (!open_) return;
    snd_seq_event_t ev = Event();
    const int ch = status & 0x0F;
    switch (status & 0xF0) {
      case 0x80: snd_seq_ev_set_noteoff(&ev, ch, data1, data2); break;
      case 0x90: snd_seq_ev_set_noteon(&ev, ch, data1, data2); break;
      case 0xA0: snd_seq_ev_set_keypress(&ev, ch, data1, data2); break;
      case 0xB0: snd_seq_ev_set_controller(&ev, ch, data1, data2); break;
      case 0xC0: snd_seq_ev_set_pgmchange(&ev, ch, data1); break;
      case 0xD0: snd_seq_ev_set_chanpress(&ev, ch, data1); break;
      case 0xE0: snd_seq_ev_set_pitchbend(&ev, ch, (data1 | (data2 << 7)) - 8192); break;
      default: return;
    }
    snd_seq_event_output_direct(seq_, &ev);
  }
  void LongMessage(TMidiLongHeader& message) override {
    // The sequencer copies the message before it returns: done at once.
    if (open_ && !message.data.empty()) {
      snd_seq_event_t ev = Event();
      snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(message.data.size()), message.data.data());
      snd_seq_event_output_direct(seq_, &ev);
    }
    if (done_) done_(&message);
  }
  void Reset() override {
    if (!open_) return;
    for (uint8_t ch = 0; ch < 16; ++ch) {
      ShortMessage(static_cast<uint8_t>(0xB0 | ch), 64, 0);
      ShortMessage(static_cast<uint8_t>(0xB0 | ch), 123, 0);
    }
  }
  bool External() const override { return true; }
  TMidiTicker* OwnTicker() override { return nullptr; }

 private:
  snd_seq_event_t Event() const {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, source_);
    snd_seq_ev_set_dest(&ev, client_, port_);
    snd_seq_ev_set_direct(&ev);
    return ev;
  }

  snd_seq_t* seq_;
  int source_, client_, port_;
  bool open_ = false;
  Done done_;
};

}  // namespace

std::unique_ptr<TAlsaSequencer> TAlsaSequencer::Open() {
  if (access("/dev/snd/seq", F_OK) != 0) return nullptr;
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(AlsaLog); });
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return nullptr;
  snd_seq_set_client_name(seq, "OrvaPlayer");
  const int port = snd_seq_create_simple_port(seq, "OrvaPlayer MIDI out",
                                              SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) {
    snd_seq_close(seq);
    return nullptr;
  }
  return std::unique_ptr<TAlsaSequencer>(new TAlsaSequencer(seq, snd_seq_client_id(seq), port));
}

TAlsaSequencer::~TAlsaSequencer() { snd_seq_close(seq_); }

std::vector<TAlsaSequencer::Destination> TAlsaSequencer::ListDestinations() {
  std::vector<Destination> out;
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    if (id == client_ || id == SND_SEQ_CLIENT_SYSTEM) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      if ((caps & kWritable) != kWritable || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      const char* name = snd_seq_port_info_get_name(port);
      out.push_back({id, snd_seq_port_info_get_port(port), name ? name : ""});
    }
  }
  return out;
}

std::unique_ptr<IMidiOut> TAlsaSequencer::MakePort(const Destination& d) {
  return std::make_unique<TAlsaPort>(seq_, port_, d.client, d.port);
}

}  // namespace orva::media
