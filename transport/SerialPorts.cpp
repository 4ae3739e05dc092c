#include "transport/SerialPorts.h"

std::vector<int> ListSerialPorts() {
    std::vector<int> numbers;
    for (const SerialPortDetails& port : WalkSerialPorts(false)) {
        if (port.opens) {
            numbers.push_back(port.comNumber);
        }
    }
    return numbers;
}

std::vector<SerialPortDetails> ListSerialPortDetails() {
    return WalkSerialPorts(true);
}
