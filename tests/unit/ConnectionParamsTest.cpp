#include <gtest/gtest.h>
#include <termios.h>

#include "transport/SIO_ConnectionParams.h"
#include "transport/TCP_ConnectionParams.h"

namespace {

void CallMeBack(UECP_IO*, int32_t, int32_t, void*) {}

TEST(TCP_ConnectionParams, BuildsWithTheTransportDefaults) {
    const TCP_ConnectionParams params("10.0.0.5", 2000);
    EXPECT_EQ(params.type, kConnectionTcp);
    EXPECT_EQ(params.connectTimeout, 5000);
    EXPECT_EQ(params.responseTimeout, 3000);
    EXPECT_EQ(params.sendTimeout, 3000);
    EXPECT_EQ(params.address, 0u);
    EXPECT_EQ(params.host, "10.0.0.5");
    EXPECT_EQ(params.port, 2000);
    EXPECT_FALSE(params.openAsync);
    EXPECT_EQ(params.openCallback, nullptr);
}

TEST(TCP_ConnectionParams, CopiesItsOwnFieldsOnlyFromTheSameType) {
    TCP_ConnectionParams source("netpc.local", 7000);
    source.address = 0x0100007F;
    source.connectTimeout = 11;
    source.responseTimeout = 12;
    source.sendTimeout = 13;
    source.openAsync = true;
    source.openCallback = CallMeBack;
    source.openCallbackData = &source;

    TCP_ConnectionParams target;
    target.CopyFrom(source);
    EXPECT_EQ(target.host, "netpc.local");
    EXPECT_EQ(target.address, 0x0100007Fu);
    EXPECT_EQ(target.port, 7000);
    EXPECT_EQ(target.connectTimeout, 11);
    EXPECT_EQ(target.openCallback, CallMeBack);
    EXPECT_EQ(target.openCallbackData, &source);

    // Another type: the base fields only, and never the type itself.
    source.type = 9;
    TCP_ConnectionParams other;
    other.CopyFrom(source);
    EXPECT_EQ(other.type, kConnectionTcp);
    EXPECT_EQ(other.host, "127.0.0.1");
    EXPECT_EQ(other.port, 6666);
    EXPECT_EQ(other.sendTimeout, 13);

    // Assignment copies everything but the type, whatever the type.
    other = source;
    EXPECT_EQ(other.type, kConnectionTcp);
    EXPECT_EQ(other.host, "netpc.local");
    EXPECT_EQ(other.address, 0x0100007Fu);

    // A serial record carries no host.
    SIO_ConnectionParams serial(3, 115200);
    serial.sendTimeout = 77;
    TCP_ConnectionParams fromSerial("keep", 1);
    fromSerial.CopyFrom(serial);
    EXPECT_EQ(fromSerial.host, "keep");
    EXPECT_EQ(fromSerial.sendTimeout, 77);
}

TEST(TCP_ConnectionParams, CloneIsAnEqualTcpRecord) {
    TCP_ConnectionParams source("192.168.1.9", 4001);
    source.responseTimeout = 42;
    const auto clone = source.Clone();
    const auto* tcp = dynamic_cast<const TCP_ConnectionParams*>(clone.get());
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(tcp->host, "192.168.1.9");
    EXPECT_EQ(tcp->port, 4001);
    EXPECT_EQ(tcp->responseTimeout, 42);
    EXPECT_EQ(tcp->type, kConnectionTcp);
}

TEST(SIO_ConnectionParams, BuildsForTheRateWith8N1) {
    const SIO_ConnectionParams params(12, 115200);
    EXPECT_EQ(params.type, kConnectionSerial);
    EXPECT_EQ(params.port, 12);
    EXPECT_EQ(params.connectTimeout, 500);
    EXPECT_EQ(params.responseTimeout, 2000);
    EXPECT_EQ(params.sendTimeout, 2000);
    EXPECT_EQ(params.dcb.baudRate, 115200);
    EXPECT_EQ(params.dcb.speed, static_cast<uint32_t>(B115200));
    EXPECT_EQ(params.dcb.dataBits, 8);
    EXPECT_EQ(params.dcb.parity, 'N');
    EXPECT_EQ(params.dcb.stopBits, 1);
    EXPECT_TRUE(params.devicePath.empty());

    const SIO_ConnectionParams odd(1, 12345);
    EXPECT_EQ(odd.dcb.baudRate, 12345);
    EXPECT_EQ(odd.dcb.speed, 0u) << "a rate without a speed constant must not be applied";
}

TEST(SIO_ConnectionParams, BuildDcbRefusesRatesTheSystemLacks) {
    SerialLineSettings dcb;
    EXPECT_TRUE(BuildDcb(dcb, 1200));
    EXPECT_EQ(dcb.speed, static_cast<uint32_t>(B1200));
    EXPECT_TRUE(BuildDcb(dcb, 9600));
    EXPECT_EQ(dcb.speed, static_cast<uint32_t>(B9600));
    EXPECT_FALSE(BuildDcb(dcb, 12345));
    EXPECT_FALSE(BuildDcb(dcb, 0)) << "0 would hang up the line";
    EXPECT_FALSE(BuildDcb(dcb, -9600));
}

TEST(SIO_ConnectionParams, CopyAndCloneCarryPortSettingsAndDevice) {
    SIO_ConnectionParams source(7, 38400);
    source.devicePath = "/dev/pts/5";
    source.sendTimeout = 5;
    const auto clone = source.Clone();
    const auto* serial = dynamic_cast<const SIO_ConnectionParams*>(clone.get());
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->port, 7);
    EXPECT_EQ(serial->dcb.baudRate, 38400);
    EXPECT_EQ(serial->dcb.speed, static_cast<uint32_t>(B38400));
    EXPECT_EQ(serial->devicePath, "/dev/pts/5");
    EXPECT_EQ(serial->sendTimeout, 5);

    const TCP_ConnectionParams tcp;
    SIO_ConnectionParams target(2, 1200);
    target.CopyFrom(tcp);
    EXPECT_EQ(target.port, 2);
    EXPECT_EQ(target.dcb.baudRate, 1200);
    EXPECT_EQ(target.sendTimeout, 3000);
}

}  // namespace
