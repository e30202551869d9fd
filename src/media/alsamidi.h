// The desktop's MIDI ports through the ALSA sequencer: the writable ports of
// other clients (hardware ports, software synthesizers), reached from one
// client of our own. Only a run with a window asks for them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "media/midiports.h"

typedef struct _snd_seq snd_seq_t;

namespace orva::media {

class TAlsaSequencer {
 public:
  struct Destination {
    int client = 0;
    int port = 0;
    std::string name;  // UTF-8, as the sequencer gives it
  };

  // Null when the machine has no sequencer device or it cannot be opened.
  static std::unique_ptr<TAlsaSequencer> Open();
  ~TAlsaSequencer();
  TAlsaSequencer(const TAlsaSequencer&) = delete;
  TAlsaSequencer& operator=(const TAlsaSequencer&) = delete;

  // The writable, subscribable ports of every other client but the system's.
  std::vector<Destination> ListDestinations();
  std::unique_ptr<IMidiOut> MakePort(const Destination& destination);

 private:
  TAlsaSequencer(snd_seq_t* seq, int client, int port) : seq_(seq), client_(client), port_(port) {}
  snd_seq_t* seq_;
  int client_;
  int port_;
};

}  // namespace orva::media
