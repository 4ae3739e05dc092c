#include "sim/SimDevice.h"

namespace {

bool IsNetPcRequest(const Bytes& f) {
    return f.size() >= 5 && f[0] == 0x2D && f[2] == 'N' && f[3] == 'S';
}

}  // namespace

SimDevice::SimDevice(const SimOptions& options)
    : options_(options),
      coder_(options),
      writer_(options.noise),
      transferMode_(options.transferMode) {}

std::vector<Emission> SimDevice::OnFrame(const uint8_t* frame, int32_t length, const LinkInfo& link,
                                         SimTime now) {
    std::vector<Emission> out;
    const auto request = ParseRequest(frame, length);
    if (!request) {
        return out;
    }
    if (link.kind == LinkKind::Serial) {
        coder_.Handle(*request, link, now, out);
        return out;
    }
    // The NetPC forwards to the firmware again once the coder has left its BIOS: a coder that
    // comes back with new firmware is reachable in the normal mode.
    const CoderDevice::State current = coder_.StateAt(now);
    if (current == CoderDevice::State::Firmware &&
        lastCoderState_ != CoderDevice::State::Firmware &&
        lastCoderState_ != CoderDevice::State::RebootingToBios) {
        transferMode_ = 0;
    }
    lastCoderState_ = current;
    if (IsNetPcRequest(request->field)) {
        HandleNetPc(*request, now, out);
        return out;
    }
    const CoderDevice::State state = coder_.StateAt(now);
    const bool routed = (state == CoderDevice::State::Firmware && transferMode_ == 0) ||
                        (state == CoderDevice::State::Bios && transferMode_ == 1);
    if (routed) {
        coder_.Handle(*request, link, now, out);
    }
    return out;
}

void SimDevice::HandleNetPc(const SimRequest& request, SimTime now, std::vector<Emission>& out) {
    // A NetPC firmware of 4.0 or older knows neither command and stays silent.
    if (options_.oldNetPc) {
        return;
    }
    const SimTime due = now + SimTime(int64_t{options_.slowMs} * 1000);
    const Bytes& f = request.field;
    if (!request.crcOk) {
        writer_.Ack(out, due, request, 1);
        return;
    }
    switch (f[4]) {
        case 0x06:
            writer_.Ack(out, due, request, 0);
            writer_.Send(out, due, request, Bytes{0x2D, 0x04, 'N', 'S', 0x06, transferMode_});
            break;
        case 0x07:
            if (f.size() != 6) {
                writer_.Ack(out, due, request, 8);
            } else if (f[5] > 1) {
                writer_.Ack(out, due, request, 6);
            } else {
                transferMode_ = f[5];
                writer_.Ack(out, due, request, 0);
            }
            break;
        default:
            writer_.Ack(out, due, request, 3);
            break;
    }
}
