// A SIP registrar for the gateway's tests, on libre: it asks every REGISTER
// for digest credentials (401) and accepts the one account it knows.
//   sip-registrar PORT USER PASSWORD
// Prints "REGISTERED <user>" or "REFUSED <user>" for each answer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libre.h"

namespace {

constexpr const char* kRealm = "zorvan-test";

struct Registrar {
    sip* stack = nullptr;
    sip_lsnr* listener = nullptr;
    std::string user;
    std::string password;
    unsigned nonce = 0;
};

std::string Text(const pl& text) { return std::string(text.p, text.l); }

bool OnRequest(const sip_msg* msg, void* arg) {
    auto* registrar = static_cast<Registrar*>(arg);
    if (pl_strcmp(&msg->met, "REGISTER") != 0) {
        (void)sip_reply(registrar->stack, msg, 405, "Method Not Allowed");
        return true;
    }
    const sip_hdr* authorization = sip_msg_hdr(msg, SIP_HDR_AUTHORIZATION);
    httpauth_digest_resp response{};
    if (authorization == nullptr || httpauth_digest_response_decode(&response, &authorization->val) != 0) {
        (void)sip_replyf(registrar->stack, msg, 401, "Unauthorized",
                         "WWW-Authenticate: Digest realm=\"%s\", nonce=\"%08x\", algorithm=MD5\r\n"
                         "Content-Length: 0\r\n\r\n",
                         kRealm, ++registrar->nonce);
        return true;
    }
    const std::string secret = Text(response.username) + ":" + kRealm + ":" + registrar->password;
    std::uint8_t ha1[MD5_SIZE];
    md5(reinterpret_cast<const std::uint8_t*>(secret.data()), secret.size(), ha1);
    const bool known = Text(response.username) == registrar->user &&
                       httpauth_digest_response_auth(&response, &msg->met, ha1) == 0;
    if (!known) {
        std::printf("REFUSED %s\n", Text(response.username).c_str());
        std::fflush(stdout);
        (void)sip_reply(registrar->stack, msg, 403, "Forbidden");
        return true;
    }
    std::printf("REGISTERED %s\n", Text(response.username).c_str());
    std::fflush(stdout);
    const sip_hdr* contact = sip_msg_hdr(msg, SIP_HDR_CONTACT);
    (void)sip_replyf(registrar->stack, msg, 200, "OK", "Contact: %r;expires=600\r\nContent-Length: 0\r\n\r\n",
                     contact != nullptr ? &contact->val : &msg->from.val);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: sip-registrar PORT USER PASSWORD\n");
        return 2;
    }
    if (libre_init() != 0) return 1;
    Registrar registrar;
    registrar.user = argv[2];
    registrar.password = argv[3];
    sa address{};
    (void)sa_set_str(&address, "127.0.0.1", static_cast<std::uint16_t>(std::atoi(argv[1])));
    if (sip_alloc(&registrar.stack, nullptr, 32, 32, 32, "registrar", nullptr, nullptr) != 0 ||
        sip_transp_add(registrar.stack, SIP_TRANSP_UDP, &address) != 0 ||
        sip_listen(&registrar.listener, registrar.stack, true, OnRequest, &registrar) != 0) {
        std::fprintf(stderr, "sip-registrar: cannot listen on 127.0.0.1:%s\n", argv[1]);
        return 1;
    }
    std::printf("READY\n");
    std::fflush(stdout);
    (void)re_main(nullptr);
    return 0;
}
