#pragma once
// A running list server and a browser's requests to its page: logins, sessions, the lists
// and their token, new and changed entries.

#include "listserver/contract_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace reef::listserver::testing {

// The tests' literals are Windows-1252; what a browser sends and reads is UTF-8.
inline std::string utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

class PageTest : public ListServerTest {
  protected:
    // HTTP/1.1 as a browser sends it; a body goes as a form unless `headers` name its type.
    HttpAnswer request(const std::string& method, const std::string& path,
                       const std::string& body = "", const std::string& headers = "",
                       const std::string& source = "") {
        std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers;
        if (method == "POST" || method == "PUT") {
            if (headers.find("Content-Type:") == std::string::npos)
                text += "Content-Type: application/x-www-form-urlencoded\r\n";
            text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        }
        text += "Connection: close\r\n\r\n" + body;
        return parseAnswer(exchange(port(), text, source));
    }
    HttpAnswer login(const std::string& password, const std::string& source = "",
                     const std::string& headers = "") {
        return request("POST", "/login", "passwort=" + password, headers, source);
    }
    // "Cookie: ..." for the session of a right login.
    std::string sessionHeader(const std::string& password = kPassword,
                              const std::string& source = "") {
        HttpAnswer answer = login(password, source);
        EXPECT_EQ(status(answer), 303);
        std::string cookie = answer.headers["set-cookie"];
        return "Cookie: " + cookie.substr(0, cookie.find(';')) + "\r\n";
    }
    static int status(const HttpAnswer& answer) {
        return answer.statusLine.size() >= 12 ? std::stoi(answer.statusLine.substr(9, 3)) : 0;
    }

    // A member's page: its session, and the token of its writes from the lists.
    struct Page {
        std::string cookie; // "Cookie: ...\r\n"
        std::string csrf;
        // Cookie, token and a JSON body's type: the headers of the page's writes.
        std::string writeHeaders() const {
            return cookie + "X-Reef-Csrf: " + csrf + "\r\nContent-Type: application/json\r\n";
        }
    };
    Page openPage(const std::string& password = kPassword, const std::string& source = "") {
        Page page{sessionHeader(password, source), ""};
        HttpAnswer lists = request("GET", "/api/lists", "", page.cookie, source);
        EXPECT_EQ(status(lists), 200) << lists.body;
        page.csrf = lists.headers["x-reef-csrf"];
        return page;
    }
    nlohmann::json lists(const Page& page) {
        HttpAnswer answer = request("GET", "/api/lists", "", page.cookie);
        EXPECT_EQ(status(answer), 200) << answer.body;
        return nlohmann::json::parse(answer.body)["lists"];
    }
    // GET /api/events of the page: a live stream, read as it comes.
    std::unique_ptr<StreamingConnection> events(const Page& page, const std::string& source = "") {
        return std::make_unique<StreamingConnection>(
            port(),
            "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n" +
                page.cookie + "\r\n",
            source);
    }
    // POST /api/entries, or PUT /api/entries/N when given the entry's number.
    HttpAnswer write(const Page& page, const std::string& list, const nlohmann::json& entry,
                     std::int64_t number = 0, const std::string& extraHeaders = "",
                     const std::string& source = "") {
        const nlohmann::json body = {{"list", list}, {"entry", entry}};
        return request(number ? "PUT" : "POST",
                       number ? "/api/entries/" + std::to_string(number) : "/api/entries",
                       body.dump(), page.writeHeaders() + extraHeaders, source);
    }
};

} // namespace reef::listserver::testing
