# Shared by the benchmarks that crawl a site served by a local nginx (sourced, not run).
#
# generate_site FOLDER PAGES: a generated manual of PAGES pages (documents with fragment
#   links, about PAGES/2 documents): an index of parts of 250 topics each, every topic linked
#   twice from its part (once with #usage) and linking back.
# serve_site WORK PATH: nginx on a free port of 127.0.0.1 with its own configuration, serving
#   WORK/www and logging every request to WORK/logs/access.log; sets port and nginx_pid, and
#   returns once PATH answers. The caller kills nginx_pid when done.

generate_site() {
  python3 - "$1" "$2" <<'EOF'
import os, sys
folder, pages = sys.argv[1], int(sys.argv[2])
documents = max(1, pages // 2)
per_part = 250
parts = max(1, documents // per_part)
os.makedirs(folder)
home = ["<html><head><title>Generated manual</title></head><body>"]
for part in range(parts):
    os.makedirs("%s/part%d" % (folder, part))
    items = ["<html><head><title>Part %d</title></head><body><a href=\"../index.html\">up</a>" % part]
    for topic in range(per_part):
        name = "topic%d.html" % topic
        items.append("<li><a href=\"%s\">Topic %d</a> (<a href=\"%s#usage\">usage</a>)</li>" % (name, topic, name))
        with open("%s/part%d/%s" % (folder, part, name), "w") as f:
            f.write("<html><head><title>Topic %d &amp; more</title></head><body>"
                    "<a href=\"index.html\">part</a> <a href=\"#top\">top</a>"
                    "<p id=usage>Usage.</p></body></html>" % topic)
    with open("%s/part%d/index.html" % (folder, part), "w") as f:
        f.write("\n".join(items) + "</body></html>")
    home.append("<a href=\"part%d/index.html\">Part %d</a>" % (part, part))
with open("%s/index.html" % folder, "w") as f:
    f.write("\n".join(home) + "</body></html>")
EOF
  chmod -R a+rX "$1"
}

serve_site() {
  site_work=$1
  mkdir -p "$site_work/www" "$site_work/logs"
  chmod 755 "$site_work" "$site_work/www"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$site_work/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $site_work/nginx.pid;
error_log $site_work/logs/error.log;
events { worker_connections 512; }
http {
  access_log $site_work/logs/access.log;
  client_body_temp_path $site_work/logs;
  proxy_temp_path $site_work/logs;
  fastcgi_temp_path $site_work/logs;
  uwsgi_temp_path $site_work/logs;
  scgi_temp_path $site_work/logs;
  sendfile on;
  types { text/html html htm; text/css css; application/javascript js; image/png png; }
  server { listen 127.0.0.1:$port; root $site_work/www; }
}
EOF
  "$(command -v nginx || echo /usr/sbin/nginx)" -c "$site_work/nginx.conf" -p "$site_work" 2>/dev/null &
  nginx_pid=$!
  site_tries=0
  until python3 -c "import urllib.request as u; u.urlopen('http://127.0.0.1:$port/$2')" 2>/dev/null; do
    site_tries=$((site_tries + 1))
    [ $site_tries -lt 100 ] || { echo "nginx did not start" >&2; cat "$site_work/logs/error.log" >&2; exit 1; }
    sleep 0.05
  done
}
