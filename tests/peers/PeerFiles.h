// The test peers as a test sees them: their URLs and the files they serve,
// from the environment that tests/peers/CMakeLists.txt gives every test of
// the fixture "peers".
#pragma once

#include <string>

// "http://127.0.0.1:<port>" + path for RAVLIX_NGINX_PORT or RAVLIX_PYTHON_PORT;
// empty when the variable is not set.
std::string PeerUrl(const char *portVariable, const char *path);

// "http://127.0.0.1:<RAVLIX_GENERATED_PORT>/<kind>/<key>/gen/<size>.bin": a
// route of the generated-content server (fixture "bigfiles") that counts its
// requests under key (tests/peers/generated-server.py).
std::string GeneratedUrl(const char *kind, const std::string &key, unsigned long long size);

// A download that is still running seconds later: size bytes of the
// generated-content server (fixture "bigfiles", compare them with
// DifferenceFromGenerated) held to 2 MB/s per request from the first byte,
// under a key of its own. nginx's limit_rate grants its rate a second at a
// time, the first second at once, and the plug-in asks such a server for
// bursts: a file from there is in within a second.
std::string PacedUrl(unsigned long long size);

// What the generated-content server counts under key: "count", the requests
// it answered, "sent", the body bytes it sent, "whole", the answers with the
// whole file, "ranged", the body bytes of its range answers; -1 when it
// cannot be asked.
long long CountedUnder(const char *what, const std::string &key);

// "https://<host>:<RAVLIX_TLS_PORT + offset>" + path: offset 0 serves a
// certificate of the test authority (for localhost, 127.0.0.1 and ::1), 1 a
// self-signed one, 2 an expired one, 3 one for another host name; 5 is a
// server with the first certificate that ends its answers without close
// notify (tests/peers/cutting-tls-server.py). host may be "127.0.0.1" or
// "[::1]" as well. Empty when the variable is not set.
std::string TlsPeerUrl(int offset, const char *path, const char *host = "localhost");
// "127.0.0.1:<RAVLIX_TLS_PORT + 4>", the CONNECT proxy.
std::string TlsProxy();
// The proxy text for tinyproxy at RAVLIX_TLS_PORT + 6, which asks for the
// user "ravlix" with the password "s3cr-t_pw": "http://<userPart>@127.0.0.1:<port>",
// or without "<userPart>@" when userPart is empty.
std::string PasswordProxy(const std::string &userPart);

// The whole of docroot/<name>, the file the peers serve under /<name>.
bool ReadPeerFile(const char *name, std::string *contents);
