package judge;

/** Loads a security provider, whose JFR event classes the VM leaves out of a class archive (and says so). */
public final class Digest {
    public static void main(String[] args) throws Exception {
        java.security.MessageDigest.getInstance("SHA-256");
        System.out.println("digest");
        if (args.length > 0) System.exit(Integer.parseInt(args[0]));
    }
}
