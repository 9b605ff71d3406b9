import json, socket, sys, time
def connect():
    for _ in range(60):
        try: return socket.create_connection(("127.0.0.1", 2828))
        except OSError: time.sleep(0.5)
    raise SystemExit("no marionette")
s = connect(); f = s.makefile("rb")
def read():
    n = b""
    while not n.endswith(b":"): n += f.read(1)
    return json.loads(f.read(int(n[:-1])))
print(read())
mid = 0
def cmd(name, params):
    global mid; mid += 1
    body = json.dumps([0, mid, name, params]).encode()
    s.sendall(str(len(body)).encode() + b":" + body)
    r = read(); print(name, r); return r
cmd("WebDriver:NewSession", {})
cmd("Marionette:SetContext", {"value": "chrome"})
script = open(sys.argv[1]).read()
cmd("WebDriver:ExecuteAsyncScript", {"script": script, "args": []})
